#include "Base.h"

// reservedForHostValue is deliberately not initialised: hosts built against
// this layout never relied on a value there.
Base::Base() : QObject(nullptr) {}  // NOLINT(cppcoreguidelines-pro-type-member-init)

Base::~Base() = default;

bool Base::getImages(std::vector<cv::Mat>& /*images*/, void* /*context*/) { return true; }

bool Base::setParam(void* /*context*/, const QByteArray& /*param*/) { return true; }

bool Base::init(void* /*context*/) { return true; }

bool Base::run() { return true; }
