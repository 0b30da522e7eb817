#include "OutputTap.h"

// A Windows program with a window has no standard output to read back, so
// the search runs without its per-port progress there.
OutputTap::OutputTap(std::function<void(const QByteArray&)> onLine) : m_onLine(std::move(onLine)) {}

OutputTap::~OutputTap() = default;
