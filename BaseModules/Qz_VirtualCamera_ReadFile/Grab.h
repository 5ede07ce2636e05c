#pragma once
// The grab's bookkeeping: which capture folder a grab reads, the cursor, the
// image buffer and what a failed grab leaves behind, for a frame read now or
// one read ahead. Decoding the files is FrameDecoding's.

#include "FrameDecoding.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ModuleState;
class CollectedLog;

// Decodes the files a grab planned, on whatever threads its caller chooses.
using FrameDecoder = std::function<DecodedFrame(const std::vector<std::string>& paths)>;

// Reads the frame at the cursor, its files decoded by `decode`, and moves the
// cursor on by one capture folder, whatever happens. Never throws: a failure
// is reported, the frame's images are taken out of the buffer again and
// lastGrabOk is lowered. Always raises grabDone. Its log lines go to `log`
// (emptied first), for run to write.
void grabFrame(ModuleState& state, const FrameDecoder& decode, CollectedLog& log);

// The frame the next grab reads, as far as reading it ahead needs to know.
struct FrameTarget {
    std::uint64_t configuration = 0;  // ModuleState::configuration when taken
    std::size_t folderIndex = 0;
    std::string folder;
    std::string cameraName;
};

// False when the next grab reads no file (no camera mode, no capture folder).
bool nextFrameTarget(const ModuleState& state, FrameTarget& target);

// The grab of a frame decoded beforehand from the folder at `folderIndex`:
// the images are buffered, the cursor moves on from that folder and `log`
// gets `lines` (the frame's lines), exactly as grabFrame would do them; a
// failure is reported and drops the frame, as there.
void grabPreparedFrame(ModuleState& state, std::size_t folderIndex, const CollectedLog& lines,
                       const std::vector<cv::Mat>& images, CollectedLog& log) noexcept;

// Test seam: when set, called inside the grab after the frame's images have
// been appended to the buffer; a throw there fails the grab.
void setGrabFaultForTesting(std::function<void()> fault);
