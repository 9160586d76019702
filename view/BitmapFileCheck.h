#pragma once

#include <cstddef>
#include <cstdint>

// How much of the start of a bitmap file the check reads before anything
// else: the file header and the fields of the info header up to its colour
// count.
constexpr size_t BitmapCheckHeadBytes = 54;

// What one picture may cost the system loader. Past any of these the picture
// is refused and shows as a missing one does. Nine pictures at the bounds,
// beside a book at the loader's own bounds, keep start-up within a second of
// the edition's and the program's memory under 400 MB (README, "Chapter
// pictures").
//
// The file itself: well above what a picture at the bitmap bound stores.
constexpr uint64_t PictureMostFileBytes = 16u << 20;
// Either side, in pixels: the most the loader itself takes.
constexpr uint32_t PictureMostSide = 65535;
// The bitmap the loader makes is of the screen's depth; counted at 32 bits a
// pixel, the deepest screen there is. It is kept for the program's life, and
// the loader needs as much again while it converts the pixels.
constexpr uint64_t PictureMostBitmapBytes = 8u << 20;
// Run-length pixels: the stretches of pixels the decoder paints, each
// closed by an end of line, a jump or the end of the picture. Each one joins
// a clip region whose cost grows with the number already in it, so that the
// cost of a picture grows with the square of this count.
constexpr uint64_t PictureMostRunSpans = 2048;

// What the headers of a bitmap file say, read as the system loader reads
// them.
struct BitmapLayout {
    int64_t width = 0;
    int64_t height = 0; // negative: rows stored top-down
    uint32_t bitCount = 0;
    uint32_t compression = 0;
    uint64_t pixelStart = 0; // offset in the file
    uint64_t imageBytes = 0; // of run-length pixels: what the decoder reads

    bool RunLength() const;
};

// Reads the layout from head (the file's first BitmapCheckHeadBytes bytes,
// zeros past the end of a shorter file) and says whether the header, colour
// table and plain pixel data that it describes all lie inside the file, as
// far as the system loader reads them (how far it reads run-length pixels,
// RunSpanCount finds). False also for a file that is no bitmap at all, or
// one the loader cannot read: it would show nothing either way.
//
// The loader trusts the headers: it reads the colour table, and the pixels
// from the pixel offset on, as far as the headers say, without a look at the
// file's size; damage that sends it past the end of its view of the file
// ends the program.
bool ReadBitmapLayout(const uint8_t* head, uint64_t fileBytes, BitmapLayout& layout);

// The whole check of a file of fileBytes whose first count bytes are at hand
// (the rest zeros), as the program makes it through the file itself.
bool BitmapFilePasses(const uint8_t* bytes, size_t count, uint64_t fileBytes);

// Whether the sides and the bitmap the loader makes stay within their bounds.
bool BitmapSizeWithinBounds(const BitmapLayout& layout);

// ReadBitmapLayout of a file within PictureMostFileBytes whose sides and
// bitmap are within their bounds: all of the check but the run-length codes.
bool ReadBoundedBitmapLayout(const uint8_t* head, uint64_t fileBytes, BitmapLayout& layout);

// Counts the stretches of run-length pixels that the loader's decoder adds
// to its clip region apart (see PictureMostRunSpans), fed the pixel data in
// pieces of any size from the pixel offset on. It walks the codes as the
// decoder does: as far as the image size, the last row or the end-of-picture
// code, clamping each row at the width, and skipping the bytes of literal
// runs as the decoder counts them. A row of one span just like that of the
// row below merges with it in the region and is not counted.
class RunSpanCount {
public:
    explicit RunSpanCount(const BitmapLayout& layout);

    // Takes the next count bytes; false once the decoder would stop reading,
    // or the count is past PictureMostRunSpans.
    bool Take(const uint8_t* bytes, size_t count);
    // How many bytes from the pixel offset on the decoder may still read.
    uint64_t BytesWanted() const { return ended ? 0 : imageBytes - at; }
    // Whether the decoder, fed every byte from the pixel offset on up to
    // room of them, stopped without reading past them, and the spans stay
    // within PictureMostRunSpans.
    bool Passes(uint64_t room) const;
    uint64_t Spans() const;

private:
    enum class Expect : uint8_t { Count, Code, JumpRight, JumpUp, Literal };
    // One pair of codes, its bytes taken.
    void Pair(uint8_t first, uint8_t second);
    // Ends the stretch painted since the last code that ended one.
    void Close();
    void Jump(uint8_t rightBy, uint8_t up);
    // On to a row further up; its spans are counted then.
    void Up(uint8_t rows);

    int64_t width;
    uint32_t bitCount;
    uint64_t imageBytes;
    uint64_t at = 0; // bytes taken
    uint64_t reach = 0; // bytes read, counting those of a literal run
    int64_t x = 0;
    int64_t y; // the row painted, counted from the top
    int64_t left = 0;
    int64_t right = 0;
    uint64_t spans = 0; // of the rows below the current one
    uint64_t rowSpans = 0;
    int64_t rowLeft = 0; // the current row's first span
    int64_t rowRight = 0;
    // Whether the row just below held one span, and where.
    bool belowSingle = false;
    int64_t belowLeft = 0;
    int64_t belowRight = 0;
    uint64_t literalLeft = 0;
    uint8_t count = 0;
    uint8_t jumpRight = 0;
    Expect expect = Expect::Count;
    bool ended = false;
};
