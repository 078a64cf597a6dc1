#include "test_pki.h"

#include "test_environment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslKey>

namespace {
const QStringList ecKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                           QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
}

TestPki& TestPki::shared()
{
    static TestPki pki;
    return pki;
}

TestPki::TestPki() : m_folder(TestEnvironment::root() + QStringLiteral("/pki"))
{
    QDir().mkpath(m_folder);
    openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey +
            QStringList{QStringLiteral("-keyout"), m_folder + QStringLiteral("/ca.key"), QStringLiteral("-out"),
                        caCertificatePath(), QStringLiteral("-days"), QStringLiteral("30"), QStringLiteral("-subj"),
                        QStringLiteral("/CN=Velmora Test CA"), QStringLiteral("-addext"),
                        QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                        QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

bool TestPki::openssl(const QStringList& arguments)
{
    if (!m_errorString.isEmpty())
        return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_errorString = QStringLiteral("openssl %1 failed: %2 %3")
                            .arg(arguments.join(QLatin1Char(' ')), process.errorString(),
                                 QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

QString TestPki::caCertificatePath() const
{
    return m_folder + QStringLiteral("/ca.pem");
}

QList<QSslCertificate> TestPki::caCertificates() const
{
    return QSslCertificate::fromPath(caCertificatePath(), QSsl::Pem);
}

TestCertificate TestPki::serverCertificate(const QString& subjectAltName)
{
    const auto known = m_issued.constFind(subjectAltName);
    if (known != m_issued.constEnd())
        return *known;
    const QString base = m_folder + QStringLiteral("/server-%1").arg(m_issued.size());
    QFile extensions(base + QStringLiteral(".ext"));
    if (!extensions.open(QIODevice::WriteOnly)) {
        m_errorString = QStringLiteral("cannot write ") + extensions.fileName();
        return {};
    }
    extensions.write("subjectAltName=" + subjectAltName.toUtf8() +
                     "\nbasicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                     "extendedKeyUsage=serverAuth\n");
    extensions.close();
    const TestCertificate certificate{base + QStringLiteral(".pem"), base + QStringLiteral(".key")};
    const bool made =
        openssl(QStringList{QStringLiteral("req")} + ecKey +
                QStringList{QStringLiteral("-keyout"), certificate.keyPath, QStringLiteral("-out"),
                            base + QStringLiteral(".csr"), QStringLiteral("-subj"),
                            QStringLiteral("/CN=velmora-test")}) &&
        openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), base + QStringLiteral(".csr"),
                 QStringLiteral("-CA"), caCertificatePath(), QStringLiteral("-CAkey"),
                 m_folder + QStringLiteral("/ca.key"), QStringLiteral("-CAcreateserial"), QStringLiteral("-out"),
                 certificate.certificatePath, QStringLiteral("-days"), QStringLiteral("30"), QStringLiteral("-extfile"),
                 extensions.fileName()});
    if (!made)
        return {};
    m_issued.insert(subjectAltName, certificate);
    return certificate;
}

TestCertificate TestPki::selfSignedCertificate()
{
    if (m_selfSigned.isValid())
        return m_selfSigned;
    const TestCertificate certificate{m_folder + QStringLiteral("/self-signed.pem"),
                                      m_folder + QStringLiteral("/self-signed.key")};
    if (!openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey +
                 QStringList{QStringLiteral("-keyout"), certificate.keyPath, QStringLiteral("-out"),
                             certificate.certificatePath, QStringLiteral("-days"), QStringLiteral("30"),
                             QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                             QStringLiteral("subjectAltName=IP:127.0.0.1")}))
        return {};
    m_selfSigned = certificate;
    return certificate;
}

QSslConfiguration TestPki::serverConfiguration(const TestCertificate& certificate)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(QSslCertificate::fromPath(certificate.certificatePath, QSsl::Pem));
    QFile key(certificate.keyPath);
    if (key.open(QIODevice::ReadOnly))
        configuration.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem, QSsl::PrivateKey));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}
