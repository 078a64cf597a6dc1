#pragma once

#include <QHash>
#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>

struct TestCertificate
{
    QString certificatePath;
    QString keyPath;
    bool isValid() const { return !certificatePath.isEmpty(); }
};

// Certificates made at test time with the openssl command: one test CA per
// process, server certificates it signs, and a self-signed one nobody trusts.
// Everything lives under the test process's temporary root.
class TestPki
{
public:
    static TestPki& shared();

    bool isValid() const { return m_errorString.isEmpty(); }
    QString errorString() const { return m_errorString; }

    QString caCertificatePath() const;
    QList<QSslCertificate> caCertificates() const;

    // Signed by the test CA for subjectAltName (openssl syntax, e.g.
    // "IP:127.0.0.1" or "DNS:example.invalid"); made once per name.
    TestCertificate serverCertificate(const QString& subjectAltName = QStringLiteral("IP:127.0.0.1"));
    // For 127.0.0.1, signed by its own key only.
    TestCertificate selfSignedCertificate();

    // Server side TLS settings for a QSslServer presenting this certificate.
    static QSslConfiguration serverConfiguration(const TestCertificate& certificate);

private:
    TestPki();
    bool openssl(const QStringList& arguments);

    QString m_folder;
    QString m_errorString;
    QHash<QString, TestCertificate> m_issued;
    TestCertificate m_selfSigned;
};
