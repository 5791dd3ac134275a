// The turn an MP4 or QuickTime file asks for its picture, read from its first video track's
// header (moov/trak/tkhd): the display matrix a phone writes when it films held upright.
// Media Foundation reports it where its MP4 source reads it (MF_MT_VIDEO_ROTATION); Wine's
// reports every picture upright. The saver reads the header itself for a picture reported
// upright, and to keep a turned file off MCI, which cannot turn a picture.
//
// The reader trusts nothing in the file: every box must lie inside the one that holds it, it
// looks at a bounded number of boxes and reads a few hundred bytes at most, and anything it
// does not understand (no track header, a matrix that is no quarter turn, a cut-off or
// corrupt file, no MP4 at all) reads as upright.
#pragma once

#include <istream>
#include <string>

namespace morvel::win32 {

// Degrees clockwise the stored picture is turned to be seen upright: 0, 90, 180 or 270.
int TrackRotation(std::istream& file);
int TrackRotationOfFile(const std::string& path);

}  // namespace morvel::win32
