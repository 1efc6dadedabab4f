#pragma once

#include <QTemporaryDir>

#include <memory>

// Folders of our own when run-isolated.sh has not given any, so that a direct run never touches
// the user's settings. Keep the result alive for the whole run.
inline std::unique_ptr<QTemporaryDir> ensureScratchFolders()
{
    std::unique_ptr<QTemporaryDir> scratch;
    if (qEnvironmentVariableIsEmpty("BRV_TEST_SCRATCH")) {
        scratch.reset(new QTemporaryDir);
        const QByteArray root = scratch->path().toUtf8();
        qputenv("BRV_TEST_SCRATCH", root);
        qputenv("HOME", root + "/home");
        qputenv("XDG_CONFIG_HOME", root + "/config");
        qputenv("XDG_DATA_HOME", root + "/data");
        qputenv("XDG_CACHE_HOME", root + "/cache");
    }
    return scratch;
}
