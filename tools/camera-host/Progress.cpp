#include "Progress.h"

#include "Console.h"

#include <cstdio>
#include <string>

namespace {

constexpr int kBarWidth = 40;
constexpr int kLineWidth = kBarWidth + 32;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

void ProgressBar::show(int done)
{
    if (!enabled_ || total_ <= 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && done < total_ && now - lastDraw_ < kRedrawInterval)
        return;
    const int filled = static_cast<int>(static_cast<long long>(kBarWidth) * done / total_);
    const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
    printText(stderr, "\r[%s] %d/%d frames", bar.c_str(), done, total_);
    std::fflush(stderr);
    drawn_ = true;
    lastDraw_ = now;
}

void ProgressBar::clear()
{
    if (!drawn_)
        return;
    // Spaces rather than an escape sequence: every console understands them.
    printText(stderr, "\r%*s\r", kLineWidth, "");
    std::fflush(stderr);
    drawn_ = false;
}
