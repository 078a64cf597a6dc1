#include "src/demo_library.h"
#include "src/http_service.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslKey>

#include <cstdio>
#include <sys/resource.h>

namespace {

int failWith(const QString& message)
{
    std::fprintf(stderr, "velmora-service: %s\n", qUtf8Printable(message));
    return 2;
}

// The key may be RSA or EC, in PEM; the file does not say which.
QSslKey readKey(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the key %1: %2").arg(path, file.errorString());
        return {};
    }
    const QByteArray pem = file.readAll();
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            return key;
    }
    *error = QStringLiteral("%1 holds no usable private key (PEM, unencrypted RSA or EC)").arg(path);
    return {};
}

// A positive whole number option, within [minimum, maximum].
bool positiveValue(const QCommandLineParser& parser, const QCommandLineOption& option, qint64 minimum, qint64 maximum,
                   qint64* value, QString* error)
{
    bool ok = false;
    const qint64 parsed = parser.value(option).toLongLong(&ok);
    if (!ok || parsed < minimum || parsed > maximum) {
        *error = QStringLiteral("--%1 %2 is not a number from %3 to %4")
                     .arg(option.names().constFirst(), parser.value(option))
                     .arg(minimum)
                     .arg(maximum);
        return false;
    }
    *value = parsed;
    return true;
}

// TLS 1.3 suites, and of TLS 1.2 only those with forward secrecy and an
// authenticated cipher (AES-GCM, ChaCha20-Poly1305): no CBC, no SHA-1 MACs.
QList<QSslCipher> modernCiphers(const QList<QSslCipher>& ciphers)
{
    QList<QSslCipher> kept;
    for (const QSslCipher& cipher : ciphers) {
        const QString name = cipher.name();
        if (cipher.protocol() == QSsl::TlsV1_3 ||
            (name.startsWith(QLatin1String("ECDHE-")) &&
             (name.contains(QLatin1String("-GCM-")) || name.contains(QLatin1String("CHACHA20")))))
            kept << cipher;
    }
    return kept;
}

// Connections are limited by the service itself; the system's soft limit on
// descriptors should not come first.
void raiseDescriptorLimit()
{
    struct rlimit files;
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-service"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves a wallpaper library to Velmora over HTTPS under /velmora/api.\n"
        "Library layout: DIR/<category id>/category.json (optional: {\"name\": ..., \"thumbnail\": ...})\n"
        "and DIR/<category id>/<yyyy-MM-dd>/<picture file>. Thumbnails are cached in DIR/.mini.\n"
        "The library is re-read when its folders change. Once listening, one line\n"
        "\"listening on https://ADDRESS:PORT\" (http:// with --plain) is printed on standard output; the request\n"
        "log goes to standard error."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption libraryOption(QStringLiteral("library"), QStringLiteral("The library folder (required)."),
                                           QStringLiteral("DIR"));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Fill an empty or missing library folder with a generated sample library first."));
    const QCommandLineOption addressOption(QStringLiteral("address"),
                                           QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                           QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on (default 8443; 0 picks a free port)."),
                                        QStringLiteral("N"), QStringLiteral("8443"));
    const QCommandLineOption certOption(
        QStringLiteral("cert"),
        QStringLiteral("PEM file with the server certificate, then any intermediate ones (required)."),
        QStringLiteral("FILE"));
    const QCommandLineOption keyOption(QStringLiteral("key"),
                                       QStringLiteral("PEM file with the server's private key (required)."),
                                       QStringLiteral("FILE"));
    const ConnectionLimits defaults;
    const QCommandLineOption maxConnectionsOption(
        QStringLiteral("max-connections"),
        QStringLiteral("Connections open at once; at the limit idle ones are closed to admit new ones, or new ones "
                       "wait (default %1).")
            .arg(defaults.maxConnections),
        QStringLiteral("N"), QString::number(defaults.maxConnections));
    const QCommandLineOption handshakeTimeoutOption(
        QStringLiteral("handshake-timeout"),
        QStringLiteral("Seconds a client has to finish the TLS handshake (default %1).")
            .arg(defaults.handshakeTimeoutMs / 1000),
        QStringLiteral("SECONDS"), QString::number(defaults.handshakeTimeoutMs / 1000));
    const QCommandLineOption idleTimeoutOption(
        QStringLiteral("idle-timeout"),
        QStringLiteral("Seconds a connection may wait for a whole request, or an answer make no progress (default %1).")
            .arg(defaults.idleTimeoutMs / 1000),
        QStringLiteral("SECONDS"), QString::number(defaults.idleTimeoutMs / 1000));
    const QCommandLineOption maxHeaderOption(
        QStringLiteral("max-header-size"),
        QStringLiteral("Bytes of request line and headers; larger requests get 431 (default %1).")
            .arg(defaults.maxHeaderBytes),
        QStringLiteral("BYTES"), QString::number(defaults.maxHeaderBytes));
    const QCommandLineOption sendBufferOption(
        QStringLiteral("send-buffer"),
        QStringLiteral("Answer bytes buffered per connection (default %1).").arg(defaults.sendBufferBytes),
        QStringLiteral("BYTES"), QString::number(defaults.sendBufferBytes));
    const QCommandLineOption maxPixelsOption(QStringLiteral("max-picture-pixels"),
                                             QStringLiteral("Pictures with more pixels get no thumbnail (default %1).")
                                                 .arg(ThumbnailSettings::defaultMaxPixels),
                                             QStringLiteral("N"), QString::number(ThumbnailSettings::defaultMaxPixels));
    const QCommandLineOption workersOption(
        QStringLiteral("thumbnail-workers"),
        QStringLiteral("Thumbnails made at once, each on its own thread (default %1).")
            .arg(ThumbnailSettings::defaultWorkers),
        QStringLiteral("N"), QString::number(ThumbnailSettings::defaultWorkers));
    const QCommandLineOption plainOption(
        QStringLiteral("plain"),
        QStringLiteral("Speak plain HTTP, without TLS, for a reverse proxy on the same machine that terminates TLS. "
                       "Only a loopback --address is accepted; --cert and --key are not needed."));
    const QCommandLineOption trustedProxyOption(
        QStringLiteral("trusted-proxy"),
        QStringLiteral("Address of a reverse proxy in front: requests from it are logged under the client address "
                       "it gives in X-Forwarded-For (from anyone else that header is ignored)."),
        QStringLiteral("ADDR"));
    const QCommandLineOption maxPerAddressOption(
        QStringLiteral("max-connections-per-address"),
        QStringLiteral("Connections open at once from one client address, not counting --trusted-proxy "
                       "(default %1).")
            .arg(defaults.maxConnectionsPerAddress),
        QStringLiteral("N"), QString::number(defaults.maxConnectionsPerAddress));
    const QCommandLineOption legacyCiphersOption(
        QStringLiteral("tls12-legacy-ciphers"),
        QStringLiteral("Also offer TLS 1.2 clients the library's older cipher suites (CBC, SHA-1); by default TLS 1.2 "
                       "uses ECDHE with AES-GCM or ChaCha20-Poly1305 only. For old clients that cannot do without."));
    parser.addOptions({libraryOption, demoOption, addressOption, portOption, certOption, keyOption,
                       maxConnectionsOption, maxPerAddressOption, handshakeTimeoutOption, idleTimeoutOption,
                       maxHeaderOption, sendBufferOption, maxPixelsOption, workersOption, plainOption,
                       trustedProxyOption, legacyCiphersOption});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty())
        return failWith(
            QStringLiteral("unexpected argument %1 (see --help)").arg(parser.positionalArguments().first()));
    const bool plain = parser.isSet(plainOption);
    for (const QCommandLineOption* required : {&libraryOption, &certOption, &keyOption}) {
        if (plain && required != &libraryOption)
            continue;
        if (parser.value(*required).isEmpty())
            return failWith(QStringLiteral("--%1 is required (see --help)").arg(required->names().constFirst()));
    }
    const QHostAddress address(parser.value(addressOption));
    if (address.isNull())
        return failWith(QStringLiteral("--address %1 is not an IP address").arg(parser.value(addressOption)));
    if (plain && !HttpService::plainListenRefusal(address).isEmpty())
        return failWith(HttpService::plainListenRefusal(address));
    QHostAddress trustedProxy;
    if (parser.isSet(trustedProxyOption)) {
        trustedProxy = QHostAddress(parser.value(trustedProxyOption));
        if (trustedProxy.isNull())
            return failWith(
                QStringLiteral("--trusted-proxy %1 is not an IP address").arg(parser.value(trustedProxyOption)));
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535)
        return failWith(QStringLiteral("--port %1 is not a port number").arg(parser.value(portOption)));

    ConnectionLimits limits;
    ThumbnailSettings thumbnails;
    QString limitError;
    qint64 value = 0;
    if (!positiveValue(parser, maxConnectionsOption, 1, 1'000'000, &value, &limitError))
        return failWith(limitError);
    limits.maxConnections = int(value);
    if (!positiveValue(parser, maxPerAddressOption, 1, 1'000'000, &value, &limitError))
        return failWith(limitError);
    limits.maxConnectionsPerAddress = int(value);
    if (!positiveValue(parser, handshakeTimeoutOption, 1, 3600, &value, &limitError))
        return failWith(limitError);
    limits.handshakeTimeoutMs = int(value * 1000);
    if (!positiveValue(parser, idleTimeoutOption, 1, 3600, &value, &limitError))
        return failWith(limitError);
    limits.idleTimeoutMs = int(value * 1000);
    if (!positiveValue(parser, maxHeaderOption, 1024, 1024 * 1024, &value, &limitError))
        return failWith(limitError);
    limits.maxHeaderBytes = value;
    if (!positiveValue(parser, sendBufferOption, 16 * 1024, 64 * 1024 * 1024, &value, &limitError))
        return failWith(limitError);
    limits.sendBufferBytes = value;
    if (!positiveValue(parser, maxPixelsOption, 1, 1'000'000'000, &value, &limitError))
        return failWith(limitError);
    thumbnails.maxPixels = value;
    if (!positiveValue(parser, workersOption, 1, 64, &value, &limitError))
        return failWith(limitError);
    thumbnails.workers = int(value);

    QString error;
    std::optional<QSslConfiguration> tls;
    if (!plain) {
        const QList<QSslCertificate> chain = QSslCertificate::fromPath(parser.value(certOption), QSsl::Pem);
        if (chain.isEmpty() || chain.constFirst().isNull())
            return failWith(QStringLiteral("%1 holds no PEM certificate").arg(parser.value(certOption)));
        const QSslKey key = readKey(parser.value(keyOption), &error);
        if (key.isNull())
            return failWith(error);
        tls = QSslConfiguration::defaultConfiguration();
        tls->setLocalCertificateChain(chain);
        tls->setPrivateKey(key);
        tls->setPeerVerifyMode(QSslSocket::VerifyNone);
        if (!parser.isSet(legacyCiphersOption))
            tls->setCiphers(modernCiphers(tls->ciphers()));
    }

    const QString library = QDir(parser.value(libraryOption)).absolutePath();
    if (parser.isSet(demoOption)) {
        if (DemoLibrary::isEmpty(library)) {
            serviceLog(QStringLiteral("demo: drawing a sample library into ") + library);
            QElapsedTimer timer;
            timer.start();
            if (!DemoLibrary::generate(library, DemoOptions(), &error))
                return failWith(QStringLiteral("demo library: ") + error);
            serviceLog(QStringLiteral("demo: done in %1 s").arg(double(timer.elapsed()) / 1000, 0, 'f', 1));
        } else {
            serviceLog(QStringLiteral("demo: %1 is not empty; serving it as it is").arg(library));
        }
    }
    if (!QFileInfo(library).isDir())
        return failWith(QStringLiteral("the library %1 is not a folder").arg(library));

    raiseDescriptorLimit();
    HttpService service(library, thumbnails);
    service.setTrustedProxy(trustedProxy);
    const quint16 bound = service.start(address, quint16(port), tls, limits, &error);
    if (bound == 0)
        return failWith(QStringLiteral("cannot listen on %1:%2: %3").arg(address.toString()).arg(port).arg(error));

    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    std::printf("listening on %s://%s:%u\n", plain ? "http" : "https", qUtf8Printable(host), unsigned(bound));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
