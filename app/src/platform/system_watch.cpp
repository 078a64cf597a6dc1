#include "system_watch.h"

SystemWatch::~SystemWatch() = default;

void SystemWatch::handleNativeMessage(const QByteArray&, const void*) {}
