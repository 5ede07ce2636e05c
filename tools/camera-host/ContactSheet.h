#pragma once
// The contact sheet of a replay: one row per frame, headed by its capture
// folder, one thumbnail per image, each labelled with its position, size,
// type and (when known) its kind or file. The title wraps rather than being
// cut; text outside ASCII is shown as <U+00E9> escapes, which the sheet's
// font can draw. 16-bit and floating-point
// images are stretched to full contrast for display (and say so); an empty
// image is drawn as a crossed-out cell. Only thumbnails are kept, so a long
// run costs little memory; rows and columns are capped so the picture stays
// a size a viewer can open.

#include <opencv2/core/mat.hpp>

#include <string>
#include <vector>

struct SheetLayout {
    static constexpr int kThumbWidth = 160;
    static constexpr int kThumbHeight = 128;
    static constexpr int kLabelHeight = 50;   // three text lines under a thumbnail
    static constexpr int kFolderHeight = 22;  // the capture folder above a row's thumbnails
    static constexpr int kGap = 10;
    static constexpr int kRowLabelWidth = 96;
    static constexpr int kTitleLineHeight = 24;
    static constexpr int kTitleMargin = 20;  // above and below the title lines together
    static constexpr int kMinWidth = 640;  // room for a capture folder's name on a one-image sheet
    static constexpr int kMaxRows = 50;
    static constexpr int kMaxColumns = 16;

    // Size of a sheet of `rows` frames whose widest frame has `columns` images,
    // under a title of `titleLines` lines.
    static cv::Size sheetSize(int rows, int columns, int titleLines = 1);
    // Top of the thumbnails of row `row` (from 0); the capture folder is just above.
    static int rowTop(int row, int titleLines = 1);
};

// `text` with every byte outside printable ASCII replaced by a readable
// escape: a UTF-8 character as <U+00E9>, any other byte as <xE9>.
std::string drawableText(const std::string& text);

// `text` in lines no wider than `width` pixels in the sheet's font at
// `scale`, broken after a blank, comma or separator when one is near and
// anywhere otherwise; the lines joined give `text` back.
std::vector<std::string> wrapText(const std::string& text, int width, double scale);

class ContactSheet {
public:
    explicit ContactSheet(std::string title) : title_(std::move(title)) {}

    // Adds the row of frame `frameNumber`; `grabFailed` marks the row.
    // `captureFolder` heads the row; `labels` (one per image, or none) name
    // each image's kind or file.
    void addFrame(int frameNumber, const std::vector<cv::Mat>& images, bool grabFailed,
                  const std::string& captureFolder = {}, const std::vector<std::string>& labels = {});
    // Draws the sheet (8-bit BGR).
    cv::Mat render() const;
    // Renders and writes a PNG; false with `error` naming the file.
    bool write(const std::string& path, std::string& error) const;

private:
    struct Cell {
        cv::Mat thumbnail;  // 8-bit BGR, empty for an empty image
        std::string size;   // "320x256"
        std::string type;   // "8UC1", with " scaled" when stretched
        std::string label;  // kind or file name; may be empty
    };
    struct Row {
        int frameNumber = 0;
        std::string captureFolder;
        bool grabFailed = false;
        int imagesLeftOut = 0;
        std::vector<Cell> cells;
    };

    std::string title_;
    std::vector<Row> rows_;
    int framesLeftOut_ = 0;
};
