#include "ModuleLog.h"

#include <QDebug>

void logError(const std::string& text) noexcept
{
    try {
        qDebug() << "[ERROR] " << text.c_str();
    } catch (...) {
    }
}

void logWarning(const std::string& text) noexcept
{
    try {
        qDebug() << "[WARN] " << text.c_str();
    } catch (...) {
    }
}
