#include "window_environment.h"

#include "build_config.h"
#include "platform/platform_services.h"

WindowEnvironment::WindowEnvironment() = default;
WindowEnvironment::WindowEnvironment(WindowEnvironment&&) noexcept = default;
WindowEnvironment& WindowEnvironment::operator=(WindowEnvironment&&) noexcept = default;
WindowEnvironment::~WindowEnvironment() = default;

WindowEnvironment WindowEnvironment::fromBuild()
{
    WindowEnvironment env;
    env.serviceOrigin = QString::fromUtf8(velmora::build::serviceOrigin);
    while (env.serviceOrigin.endsWith(QLatin1Char('/')))
        env.serviceOrigin.chop(1);
    env.extraCaPem = QByteArray(velmora::build::serviceCaPem);
    env.platform = createPlatformServices();
    return env;
}
