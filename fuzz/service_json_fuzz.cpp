// The service's JSON replies, and the categories cache, as the program reads them.

#include "fuzz_support.h"

#include "core/categories_cache.h"
#include "core/service_api.h"
#include "core/service_file_name.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body = fuzz::bytes(data, size);
    const CategoryListReply categories = ServiceApi::readCategoryList(body);
    for (const QJsonValue& value : categories.data) {
        const ServiceCategory category = ServiceApi::readCategory(value);
        isSafeServiceFileName(category.thumbnail);
    }
    const WallpaperListReply list = ServiceApi::readWallpaperList(body);
    // A refusal always says why.
    if (!list.success && list.error.isEmpty())
        __builtin_trap();
    for (const QString& name : list.fileNames)
        isSafeServiceFileName(name);
    ServiceApi::notJsonReason(body);
    // The catalogue's first rows, read as they arrive: any cut of any body.
    for (const QString& name : ServiceApi::catalogueHead(body, 50)) {
        if (!name.isEmpty() && !isSafeServiceFileName(name))
            __builtin_trap();
    }

    const QString path = fuzz::scratchFolder() + QStringLiteral("/categories_cache.json");
    if (fuzz::writeScratch(path, body)) {
        CategoriesCacheData cache;
        CategoriesCache::read(path, cache);
    }
    return 0;
}
