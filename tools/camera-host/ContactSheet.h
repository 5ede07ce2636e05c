#pragma once
// The contact sheet of a replay: one row per frame, one thumbnail per image,
// each labelled with its position, size and type. 16-bit and floating-point
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
    static constexpr int kLabelHeight = 34;  // two text lines under a thumbnail
    static constexpr int kGap = 10;
    static constexpr int kRowLabelWidth = 96;
    static constexpr int kTitleHeight = 44;
    static constexpr int kMaxRows = 50;
    static constexpr int kMaxColumns = 16;

    // Size of a sheet of `rows` frames whose widest frame has `columns` images.
    static cv::Size sheetSize(int rows, int columns);
};

class ContactSheet {
public:
    explicit ContactSheet(std::string title) : title_(std::move(title)) {}

    // Adds the row of frame `frameNumber`; `grabFailed` marks the row.
    void addFrame(int frameNumber, const std::vector<cv::Mat>& images, bool grabFailed);
    // Draws the sheet (8-bit BGR).
    cv::Mat render() const;
    // Renders and writes a PNG; false with `error` naming the file.
    bool write(const std::string& path, std::string& error) const;

private:
    struct Cell {
        cv::Mat thumbnail;  // 8-bit BGR, empty for an empty image
        std::string size;   // "320x256"
        std::string type;   // "8UC1", with " scaled" when stretched
    };
    struct Row {
        int frameNumber = 0;
        bool grabFailed = false;
        int imagesLeftOut = 0;
        std::vector<Cell> cells;
    };

    std::string title_;
    std::vector<Row> rows_;
    int framesLeftOut_ = 0;
};
