#include "sound.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThreadPool>

#include <atomic>
#include <canberra.h>

Q_LOGGING_CATEGORY(lcSound, "corvana.ui.sound")

namespace {

// Opening a sound device can wait for a device that is busy; the desk must not. Sounds are
// played from one worker thread, one after the other.
QThreadPool *g_pool = nullptr;
ca_context *g_context = nullptr; // used by the worker only
// No sound system or device here: do not try again (and fill the log) for every question.
std::atomic<bool> g_silent = false;
QString g_directory;

void shutDown()
{
    if (!g_pool)
        return;
    // A worker stuck in the sound system keeps its context: better than a program that
    // cannot end.
    if (g_pool->waitForDone(1000)) {
        delete g_pool;
        if (g_context)
            ca_context_destroy(g_context);
        g_context = nullptr;
    }
    g_pool = nullptr;
}

QThreadPool *pool()
{
    if (!g_pool) {
        g_pool = new QThreadPool;
        g_pool->setMaxThreadCount(1);
        qAddPostRoutine(shutDown);
    }
    return g_pool;
}

// Created on first use and kept: opening the sound system costs more than playing.
ca_context *context(const QByteArray &applicationName)
{
    if (g_context)
        return g_context;
    int rc = ca_context_create(&g_context);
    if (rc == CA_SUCCESS) {
        ca_context_change_props(g_context, CA_PROP_APPLICATION_NAME, applicationName.constData(), nullptr);
        rc = ca_context_open(g_context);
    }
    if (rc != CA_SUCCESS) {
        qCWarning(lcSound) << "no sound:" << ca_strerror(rc);
        if (g_context)
            ca_context_destroy(g_context);
        g_context = nullptr;
        g_silent = true;
    }
    return g_context;
}

void playNow(const QByteArray &file, const QByteArray &applicationName)
{
    if (g_silent)
        return;
    ca_context *ctx = context(applicationName);
    if (!ctx)
        return;
    const int rc = ca_context_play(ctx, 0, CA_PROP_MEDIA_FILENAME, file.constData(), nullptr);
    if (rc != CA_SUCCESS) {
        // The file was there, so the device (or the file's format) is what fails.
        qCWarning(lcSound) << "cannot play" << file << ':' << ca_strerror(rc) << "- staying silent";
        g_silent = true;
    }
}

} // namespace

namespace Sound {

bool play(const QString &path)
{
    if (!QFileInfo(path).isFile()) {
        qCWarning(lcSound) << "sound file missing:" << path;
        return false;
    }
    if (g_silent)
        return false;
    const QByteArray file = QFile::encodeName(path);
    const QByteArray name = QCoreApplication::applicationName().toUtf8();
    pool()->start([file, name] { playNow(file, name); });
    return true;
}

QString directory()
{
    return g_directory.isEmpty() ? QCoreApplication::applicationDirPath() : g_directory;
}

void setDirectory(const QString &folder)
{
    g_directory = folder;
}

} // namespace Sound
