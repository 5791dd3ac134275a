"""Clips whose every frame carries its number, and the reading of that number off the screen.

The picture is a moving test pattern (ffmpeg's testsrc2, so that decoding costs what real
video costs) under a band across its top quarter of BLOCKS blocks side by side: a white one,
BITS blocks white or black by the frame's number in Gray code (left to right bit 0 up), a
black one. The white and the black block tell a frame from a screen of one colour (the
lab's white desktop, the saver's black). Two consecutive numbers differ in one block only,
so a look that catches the screen half way between them (one part drawn, the other not
yet) still reads one of the two, never a third. The blocks are a twelfth of the picture
wide, so the number survives any scaling and the coder's blur.

bench/renderer_bench.cpp reads the same band (the layout is repeated there)."""

from pathlib import Path

from winelab import run

BITS = 10  # up to 1,024 frames: 34 s at 30 frames a second
BLOCKS = BITS + 2


def make_clip(path, size, seconds, rate=30):
    """An H.264 MP4 (yuv420p, no sound) of `size` (w, h), `seconds` long at `rate`."""
    path = Path(path)
    if path.exists():
        return path
    path.parent.mkdir(parents=True, exist_ok=True)
    width, height = size
    # Bit k of the Gray code of n is bit k of n plus bit k + 1 of n, modulo 2.
    bit = "mod(floor(N/pow(2,X-1))+floor(N/pow(2,X)),2)"
    block = f"if(eq(X,0),255,if(eq(X,{BLOCKS - 1}),0,255*{bit}))"
    graph = (f"testsrc2=size={width}x{height}:rate={rate}:duration={seconds}[pattern];"
             f"color=c=black:s={BLOCKS}x1:rate={rate}:duration={seconds},format=gray,"
             f"geq=lum='{block}',scale={width}:{height // 4}:flags=neighbor,"
             f"format=yuv420p[band];[pattern][band]overlay=0:0:shortest=1,format=yuv420p")
    partial = path.with_name(f"partial-{path.name}")
    run(["ffmpeg", "-loglevel", "error", "-y", "-filter_complex", graph, "-c:v", "libx264",
         "-preset", "veryfast", "-crf", "20", "-g", str(rate), str(partial)], timeout=1800)
    partial.rename(path)
    return path


def band_points(left, top, width, height):
    """The centre of each block of the band, for a picture filling that rectangle."""
    return [(left + (2 * k + 1) * width // (2 * BLOCKS), top + height // 8)
            for k in range(BLOCKS)]


def read_number(rgbs):
    """The frame number the blocks' colours give, or None where they are no frame's (a
    block neither white nor black, the first not white, the last not black)."""
    bits = []
    for rgb in rgbs:
        level = sum(rgb) / 3
        if 60 < level < 195 or max(rgb) - min(rgb) > 60:
            return None
        bits.append(level >= 128)
    if not bits[0] or bits[-1]:
        return None
    gray = sum(bit << k for k, bit in enumerate(bits[1:-1]))
    number = 0
    while gray:
        number ^= gray
        gray >>= 1
    return number
