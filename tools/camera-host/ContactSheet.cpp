#include "ContactSheet.h"

#include "ImageFile.h"
#include "ImageText.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using L = SheetLayout;

const cv::Scalar kBackground(40, 40, 40);
const cv::Scalar kCellBackground(24, 24, 24);
const cv::Scalar kText(235, 235, 235);
const cv::Scalar kDimText(165, 165, 165);
const cv::Scalar kWarnText(80, 150, 255);
const cv::Scalar kEmptyMark(60, 60, 170);
const int kFont = cv::FONT_HERSHEY_SIMPLEX;

// One channel, or three for colour images (alpha and extra channels dropped).
cv::Mat displayChannels(const cv::Mat& image)
{
    if (image.channels() == 1 || image.channels() == 3)
        return image;
    if (image.channels() == 2) {
        cv::Mat first;
        cv::extractChannel(image, first, 0);
        return first;
    }
    cv::Mat bgr(image.size(), CV_MAKETYPE(image.depth(), 3));
    const int pairs[] = {0, 0, 1, 1, 2, 2};
    cv::mixChannels(&image, 1, &bgr, 1, pairs, 3);
    return bgr;
}

// As float, with anything not finite set to zero so it cannot spoil the scale.
cv::Mat finiteFloat(const cv::Mat& image)
{
    cv::Mat asFloat;
    image.convertTo(asFloat, CV_32F);
    asFloat.forEach<float>([](float& value, const int*) {
        if (!std::isfinite(value))
            value = 0.0f;
    });
    return asFloat;
}

cv::Size fitInside(const cv::Size& size, const cv::Size& box)
{
    const double scale = std::min(static_cast<double>(box.width) / size.width,
                                  static_cast<double>(box.height) / size.height);
    return {std::max(1, static_cast<int>(std::lround(size.width * scale))),
            std::max(1, static_cast<int>(std::lround(size.height * scale)))};
}

// 8-bit BGR thumbnail; `stretched` tells whether the values were rescaled.
cv::Mat makeThumbnail(const cv::Mat& image, bool& stretched)
{
    stretched = image.depth() != CV_8U;
    cv::Mat shown = displayChannels(image);
    if (stretched)
        shown = finiteFloat(shown);
    cv::Mat small;
    cv::resize(shown, small, fitInside(image.size(), {L::kThumbWidth, L::kThumbHeight}), 0, 0, cv::INTER_AREA);
    if (stretched)
        cv::normalize(small, small, 0, 255, cv::NORM_MINMAX, CV_8U);
    if (small.channels() == 1)
        cv::cvtColor(small, small, cv::COLOR_GRAY2BGR);
    return small;
}

void putText(cv::Mat& sheet, const std::string& text, cv::Point at, double scale, const cv::Scalar& colour)
{
    cv::putText(sheet, text, at, kFont, scale, colour, 1, cv::LINE_AA);
}

void drawEmptyCell(cv::Mat& sheet, const cv::Rect& box)
{
    cv::rectangle(sheet, box, kEmptyMark, 2);
    cv::line(sheet, box.tl(), box.br() - cv::Point(1, 1), kEmptyMark, 2, cv::LINE_AA);
    cv::line(sheet, {box.x, box.y + box.height - 1}, {box.x + box.width - 1, box.y}, kEmptyMark, 2, cv::LINE_AA);
}

int titleHeight(int titleLines)
{
    return L::kTitleMargin + titleLines * L::kTitleLineHeight;
}


int textWidth(const std::string& text, double scale)
{
    int baseline = 0;
    return cv::getTextSize(text, kFont, scale, 1, &baseline).width;
}

}  // namespace

std::vector<std::string> wrapText(const std::string& text, int width, double scale)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        line += c;
        if (line.size() == 1 || textWidth(line, scale) <= width)
            continue;
        const std::size_t cut = line.find_last_of(" ,/\\", line.size() - 2);
        const std::size_t keep = cut != std::string::npos && cut > line.size() / 2 ? cut + 1 : line.size() - 1;
        lines.push_back(line.substr(0, keep));
        line = line.substr(keep);
    }
    if (!line.empty() || lines.empty())
        lines.push_back(line);
    return lines;
}

namespace {

// `text` cut to `width` pixels keeping its end (where folder and file names
// differ), "..." marking the cut.
std::string fitKeepingEnd(const std::string& text, int width, double scale)
{
    if (textWidth(text, scale) <= width)
        return text;
    std::string tail = text;
    while (!tail.empty() && textWidth("..." + tail, scale) > width)
        tail.erase(0, 1);
    return "..." + tail;
}

const double kTitleScale = 0.6;
const double kLabelScale = 0.42;

int columnLeft(int column)
{
    return L::kRowLabelWidth + column * (L::kThumbWidth + L::kGap);
}

}  // namespace

int SheetLayout::rowTop(int row, int titleLines)
{
    return titleHeight(titleLines) + kFolderHeight + row * (kFolderHeight + kThumbHeight + kLabelHeight + kGap);
}

cv::Size SheetLayout::sheetSize(int rows, int columns, int titleLines)
{
    const int shownColumns = std::max(1, std::min(columns, kMaxColumns));
    const int shownRows = std::min(rows, kMaxRows);
    return {std::max(kMinWidth, columnLeft(shownColumns)), rowTop(shownRows, titleLines) - kFolderHeight + kGap};
}

std::string drawableText(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7f) {
            out += text[i++];
            continue;
        }
        // Length and first bits of a UTF-8 sequence; anything else is one stray byte.
        const int length = byte >= 0xf0 && byte < 0xf8 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc2 && byte < 0xe0 ? 2 : 1;
        unsigned long code = length == 4 ? byte & 0x07u : length == 3 ? byte & 0x0fu : byte & 0x1fu;
        bool valid = length > 1 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xc0u) == 0x80u;
            code = (code << 6) | (next & 0x3fu);
        }
        char escape[16];
        if (valid) {
            std::snprintf(escape, sizeof escape, "<U+%04lX>", code);
            i += length;
        } else {
            std::snprintf(escape, sizeof escape, "<x%02X>", byte);
            ++i;
        }
        out += escape;
    }
    return out;
}

void ContactSheet::addFrame(int frameNumber, const std::vector<cv::Mat>& images, bool grabFailed,
                            const std::string& captureFolder, const std::vector<std::string>& labels)
{
    if (static_cast<int>(rows_.size()) >= L::kMaxRows) {
        ++framesLeftOut_;
        return;
    }
    Row row;
    row.frameNumber = frameNumber;
    row.grabFailed = grabFailed;
    row.captureFolder = drawableText(captureFolder);
    const std::size_t shown = std::min<std::size_t>(images.size(), L::kMaxColumns);
    row.imagesLeftOut = static_cast<int>(images.size() - shown);
    for (std::size_t i = 0; i < shown; ++i) {
        const cv::Mat& image = images[i];
        Cell cell;
        if (labels.size() == images.size())
            cell.label = drawableText(labels[i]);
        if (!image.empty()) {
            bool stretched = false;
            cell.thumbnail = makeThumbnail(image, stretched);
            cell.size = std::to_string(image.cols) + "x" + std::to_string(image.rows);
            cell.type = typeName(image.type()) + (stretched ? " scaled" : "");
        }
        row.cells.push_back(std::move(cell));
    }
    rows_.push_back(std::move(row));
}

cv::Mat ContactSheet::render() const
{
    std::size_t columns = 1;
    for (const Row& row : rows_)
        columns = std::max(columns, row.cells.size());
    const int width = L::sheetSize(1, static_cast<int>(columns)).width;

    std::string title = drawableText(title_);
    if (framesLeftOut_ > 0)
        title += "   (first " + std::to_string(rows_.size()) + " frames of " +
                 std::to_string(rows_.size() + framesLeftOut_) + ")";
    const std::vector<std::string> titleLines = wrapText(title, width - 2 * L::kGap, kTitleScale);
    const int lines = static_cast<int>(titleLines.size());
    cv::Mat sheet(L::sheetSize(static_cast<int>(rows_.size()), static_cast<int>(columns), lines), CV_8UC3,
                  kBackground);
    for (int i = 0; i < lines; ++i)
        putText(sheet, titleLines[i], {L::kGap, 28 + i * L::kTitleLineHeight}, kTitleScale, kText);

    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const Row& row = rows_[r];
        const int top = L::rowTop(static_cast<int>(r), lines);
        if (!row.captureFolder.empty())
            putText(sheet, fitKeepingEnd(row.captureFolder, width - 2 * L::kGap, 0.45), {L::kGap, top - 7}, 0.45,
                    kDimText);
        putText(sheet, "frame " + std::to_string(row.frameNumber), {L::kGap, top + 20}, 0.5, kText);
        if (row.grabFailed)
            putText(sheet, "grab failed", {L::kGap, top + 42}, 0.42, kWarnText);
        else if (row.cells.empty())
            putText(sheet, "no images", {L::kGap, top + 42}, 0.42, kDimText);
        if (row.imagesLeftOut > 0)
            putText(sheet, "+" + std::to_string(row.imagesLeftOut) + " more", {L::kGap, top + 64}, 0.42, kDimText);

        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            const Cell& cell = row.cells[c];
            const cv::Rect box(columnLeft(static_cast<int>(c)), top, L::kThumbWidth, L::kThumbHeight);
            sheet(box).setTo(kCellBackground);
            const int textTop = top + L::kThumbHeight;
            const std::string position = "#" + std::to_string(c + 1);
            if (cell.thumbnail.empty()) {
                drawEmptyCell(sheet, box);
                putText(sheet, position + "  empty", {box.x, textTop + 15}, kLabelScale, kWarnText);
                putText(sheet, fitKeepingEnd(cell.label, L::kThumbWidth, kLabelScale), {box.x, textTop + 30},
                        kLabelScale, kDimText);
                continue;
            }
            const cv::Rect placed(box.x + (box.width - cell.thumbnail.cols) / 2,
                                  box.y + (box.height - cell.thumbnail.rows) / 2, cell.thumbnail.cols,
                                  cell.thumbnail.rows);
            cell.thumbnail.copyTo(sheet(placed));
            putText(sheet, position + "  " + cell.size, {box.x, textTop + 15}, 0.42, kText);
            putText(sheet, cell.type, {box.x, textTop + 30}, kLabelScale, kDimText);
            putText(sheet, fitKeepingEnd(cell.label, L::kThumbWidth, kLabelScale), {box.x, textTop + 45},
                    kLabelScale, kText);
        }
    }
    return sheet;
}

bool ContactSheet::write(const std::string& path, std::string& error) const
{
    try {
        if (writeImageFile(path, render()))
            return true;
        error = "cannot write the contact sheet " + path;
    } catch (const std::exception& e) {
        error = "cannot write the contact sheet " + path + ": " + e.what();
    }
    return false;
}
