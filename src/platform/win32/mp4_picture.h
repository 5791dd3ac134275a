// What an MP4 or QuickTime file says of its first video track's picture: the turn its track
// header asks for (moov/trak/tkhd: the display matrix a phone writes when it films held
// upright) and the shape of its pixels (the sample description's pasp box). Media Foundation
// reports both where its MP4 source reads them (MF_MT_VIDEO_ROTATION,
// MF_MT_PIXEL_ASPECT_RATIO); Wine's reports every picture upright and square. The saver reads
// the file itself for a picture reported so, and to keep a turned file off MCI, which cannot
// turn a picture.
//
// The reader trusts nothing in the file: every box must lie inside the one that holds it, it
// looks at a bounded number of boxes and reads a few hundred bytes at most, and anything it
// does not understand (no track header, a matrix that is no quarter turn, a cut-off or
// corrupt file, no MP4 at all) reads as upright.
#pragma once

#include <istream>
#include <string>

namespace morvel::win32 {

struct Mp4Picture {
    int rotation = 0;        // degrees clockwise the stored picture is turned to be seen upright
    int pixelAspectNum = 1;  // a pixel's width over its height
    int pixelAspectDen = 1;
};

Mp4Picture ReadMp4Picture(std::istream& file);
Mp4Picture ReadMp4PictureOfFile(const std::string& path);

}  // namespace morvel::win32
