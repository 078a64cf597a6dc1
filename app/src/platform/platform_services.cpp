#include "platform_services.h"

PlatformServices::~PlatformServices() = default;
