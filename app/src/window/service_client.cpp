#include "modern_window.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

QString ModernWindow::serviceApiBase() const
{
    return ServiceApi::apiBase(environment.serviceOrigin);
}

QNetworkReply* ModernWindow::sendServiceRequest(const QUrl& url, ServiceReplyKind kind)
{
    QNetworkRequest request(url);
    request.setSslConfiguration(serviceSslConfiguration);
    QNetworkReply* reply = networkManager->get(request);
    setupSslErrorHandling(reply);
    ServiceApi::applyLimits(reply, serviceRequestLimits.value(kind, ServiceApi::defaultLimits(kind)));
    return reply;
}

void ModernWindow::setupSslErrorHandling(QNetworkReply* reply)
{
    connect(reply, &QNetworkReply::sslErrors, this, [reply](const QList<QSslError>& errors) {
        ServiceApi::recordSslErrors(reply, errors);
        for (const QSslError& error : errors)
            qDebug() << "[API] Erreur SSL:" << reply->url().toString() << "-" << error.errorString();
    });
}
