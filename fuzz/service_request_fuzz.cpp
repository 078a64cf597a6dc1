// The service's request paths and queries, and its library names. Input:
// "METHOD PATH[?QUERY]", answered over a small real library.

#include "fuzz_support.h"

#include "catalogue.h"
#include "library.h"
#include "request_handler.h"

#include <QImage>

namespace {

struct Service
{
    Catalogue catalogue;
    std::unique_ptr<RequestHandler> handler;
};

Service& service()
{
    static Service s = [] {
        Service made;
        const QString library = fuzz::scratchFolder() + QStringLiteral("/library");
        QDir().mkpath(library + QStringLiteral("/nature/2026-03-05"));
        QImage picture(8, 6, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        picture.save(library + QStringLiteral("/nature/2026-03-05/lake.png"));
        fuzz::writeScratch(library + QStringLiteral("/nature/category.json"),
                           R"({"name":"Nature","thumbnail":"lake.png"})");
        made.catalogue.update(LibraryScanner::scan(library), 1);
        made.handler = std::make_unique<RequestHandler>(made.catalogue);
        return made;
    }();
    return s;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startApplication();
    service();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const qsizetype space = input.indexOf(' ');
    const QByteArray method = space < 0 ? QByteArrayLiteral("GET") : input.left(space);
    const QByteArray target = space < 0 ? input : input.mid(space + 1);
    const qsizetype question = target.indexOf('?');
    const QByteArray path = question < 0 ? target : target.left(question);
    const QByteArray query = question < 0 ? QByteArray() : target.mid(question + 1);
    const ServiceResponse response = service().handler->handle(method, path, query);
    if (response.status < 100 || response.status > 599)
        __builtin_trap();

    const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(input));
    LibraryScanner::isValidCategoryId(name);
    LibraryScanner::isPublishableFileName(name);
    return 0;
}
