#pragma once
// The core is free of Qt; it reports what it passes over through a sink that
// the module forwards to its log. An empty sink drops the text.

#include <functional>
#include <string>

using LogSink = std::function<void(const std::string& text)>;

inline void logTo(const LogSink& sink, const std::string& text)
{
    if (sink)
        sink(text);
}
