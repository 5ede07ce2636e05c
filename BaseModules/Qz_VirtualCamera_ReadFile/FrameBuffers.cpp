#include "FrameBuffers.h"

#include <utility>

namespace {

// Hand-overs kept: the one the host may still hold while the next frame is
// read ahead, and the one before, which it has let go of by then.
constexpr std::size_t kHandOversKept = 2;
// Byte buffers kept: one per decoding thread of a frame, at the most.
constexpr std::size_t kBytesKept = 8;

// Whether `image` is a whole buffer that nothing but this reference holds.
// Only this module hands the buffer out, so once the count is down to one
// nobody can take another reference to it.
bool onlyReference(const cv::Mat& image)
{
    return image.u && image.data == image.u->data && image.isContinuous() && image.u->urefcount == 0 &&
           __atomic_load_n(&image.u->refcount, __ATOMIC_ACQUIRE) == 1;
}

}  // namespace

void FrameBuffers::keepHandedOver(const std::vector<cv::Mat>& images)
{
    std::vector<cv::Mat> kept(images);
    std::deque<std::vector<cv::Mat>> dropped;
    const std::lock_guard<std::mutex> hold(keptLock);
    handedOver.push_back(std::move(kept));
    while (handedOver.size() > kHandOversKept) {
        dropped.push_back(std::move(handedOver.front()));
        handedOver.pop_front();
    }
}

cv::Mat FrameBuffers::takeFree(std::size_t position)
{
    const std::lock_guard<std::mutex> hold(keptLock);
    for (std::vector<cv::Mat>& images : handedOver) {
        if (position < images.size() && onlyReference(images[position]))
            return std::move(images[position]);
    }
    return cv::Mat();
}

FileBytes FrameBuffers::takeBytes()
{
    const std::lock_guard<std::mutex> hold(keptLock);
    if (spareBytes.empty())
        return FileBytes();
    FileBytes bytes = std::move(spareBytes.back());
    spareBytes.pop_back();
    return bytes;
}

void FrameBuffers::giveBack(FileBytes bytes)
{
    const std::lock_guard<std::mutex> hold(keptLock);
    if (spareBytes.size() < kBytesKept)
        spareBytes.push_back(std::move(bytes));
}

void FrameBuffers::forget()
{
    std::deque<std::vector<cv::Mat>> images;
    std::vector<FileBytes> bytes;
    const std::lock_guard<std::mutex> hold(keptLock);
    images.swap(handedOver);
    bytes.swap(spareBytes);
}
