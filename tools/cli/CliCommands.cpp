#include "CliCommands.h"

#include "AppHandler.h"
#include "AppMessages.h"
#include "AppModel.h"
#include "AppProxyModel.h"
#include "AppTaskParams.h"
#include "CliConsole.h"
#include "CliDeviceFinder.h"
#include "CliJson.h"
#include "CliSession.h"
#include "DiagLog.h"
#include "DocModel.h"
#include "IPodDeviceInfo.h"
#include "LocalFileName.h"
#include "ZAppInfoItem.h"
#include "ZDocItemInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

namespace {

void out(const QString &text)
{
    CliConsole::out(text);
}

// One line of text output: tab-separated fields, each escaped for the terminal.
void outFields(const QStringList &fields)
{
    QStringList escaped;
    for (const QString &field : fields)
        escaped << CliConsole::escaped(field);
    CliConsole::out(escaped.join(QLatin1Char('\t')));
}

void note(const QString &text)
{
    CliConsole::note(text);
}

// An error the user reads; the diagnostic log gets it too.
void err(const QString &text)
{
    DIAG_LOG(text.toUtf8().constData());
    note(text);
}

void outJson(const QJsonDocument &doc)
{
    CliConsole::outRaw(doc.toJson(QJsonDocument::Indented));
}

// The device chosen by -d: its whole identifier or the UDID after the dash.
QString pickDevice(const QString &wanted, const QStringList &ids)
{
    for (const QString &id : ids) {
        if (CliDeviceFinder::matches(id, wanted))
            return id;
    }
    return QString();
}

// A name from the device as a file name inside the chosen folder.
QString safeFileName(const QString &name)
{
    return LocalFileName::make(name);
}

} // namespace

int CliCommands::run()
{
    CliDeviceFinder finder(m_o.waitSeconds);
    if (!finder.start(m_o.deviceId)) {
        err(QStringLiteral("Cannot reach usbmuxd."));
        return NoDevice;
    }
    const QStringList ids = finder.devices();
    const QStringList refused = finder.refused();
    const QStringList failed = finder.failed();
    if (m_o.command == QLatin1String("devices")) {
        for (const QString &each : refused)
            err(CliDeviceFinder::refusedMessage(each));
        for (const QString &each : failed)
            err(CliDeviceFinder::failedMessage(each));
        return devices(ids);
    }

    QString id;
    if (!m_o.deviceId.isEmpty()) {
        id = pickDevice(m_o.deviceId, ids);
        if (id.isEmpty()) {
            const QString locked = pickDevice(m_o.deviceId, refused);
            const QString broken = pickDevice(m_o.deviceId, failed);
            err(!locked.isEmpty() ? CliDeviceFinder::refusedMessage(locked)
                : !broken.isEmpty() ? CliDeviceFinder::failedMessage(broken)
                                    : QStringLiteral("No connected device has the identifier \"%1\".").arg(m_o.deviceId));
            return NoDevice;
        }
    } else if (ids.size() == 1) {
        id = ids.first();
    } else if (ids.isEmpty()) {
        err(!refused.isEmpty() ? CliDeviceFinder::refusedMessage(refused.first())
            : !failed.isEmpty() ? CliDeviceFinder::failedMessage(failed.first())
                                : QStringLiteral("No device is connected."));
        return NoDevice;
    } else {
        err(QStringLiteral("Several devices are connected; choose one with -d ID:"));
        for (const QString &each : ids)
            note(QStringLiteral("  ") + each);
        return NoDevice;
    }

    CliSession session(id);
    if (m_o.command == QLatin1String("info"))
        return info(session);
    // Current devices no longer archive apps: say so before anything is sent.
    if ((m_o.command == QLatin1String("export") || m_o.command == QLatin1String("export-itunes"))
        && !session.handler()->canExportApps()) {
        err(AppMessages::exportNotAllowed(CliConsole::printable(QString::fromUtf8(session.handler()->deviceInfo().firmwareVersion()), 40)));
        return Failed;
    }
    // Each command waits only for what it prints or names: a list never
    // fetches icons, commands on named apps look up only those, and an
    // install needs no list at all.
    session.setReplace(m_o.replace);
    if (m_o.command == QLatin1String("install")) {
        session.handler()->setLoadParts(0);
        return install(session);
    }
    bool loaded = false;
    if (m_o.command == QLatin1String("list")) {
        loaded = session.load(AppHandler::LoadNames | (m_o.json ? AppHandler::LoadDocuments : 0));
    } else {
        const QStringList named = m_o.command == QLatin1String("docs") ? QStringList{m_o.bundleId} : m_o.operands;
        loaded = session.load(AppHandler::LoadNames | (m_o.command == QLatin1String("docs") ? AppHandler::LoadDocuments : 0),
                              &named);
    }
    if (!loaded) {
        err(QStringLiteral("Cannot read the apps on the device."));
        return Failed;
    }
    if (m_o.command == QLatin1String("list"))
        return list(session);
    if (m_o.command == QLatin1String("uninstall"))
        return uninstall(session);
    if (m_o.command == QLatin1String("export"))
        return exportApps(session, false);
    if (m_o.command == QLatin1String("export-itunes"))
        return exportApps(session, true);
    return docs(session);
}

int CliCommands::devices(const QStringList &ids)
{
    QJsonArray array;
    for (const QString &id : ids) {
        IPodDeviceInfo info;
        info.Fill(id.toUtf8());
        if (m_o.json) {
            array.append(CliJson::device(info));
        } else {
            outFields({id, QString::fromUtf8(info.name()), QString::fromUtf8(info.typeName()),
                       QString::fromUtf8(info.firmwareVersion()), QString::fromUtf8(info.serialNumber())});
        }
    }
    if (m_o.json)
        outJson(QJsonDocument(array));
    return Ok;
}

int CliCommands::info(CliSession &session)
{
    const IPodDeviceInfo &info = session.handler()->deviceInfo();
    double total = 0, free = 0, block = 0;
    if (!deviceDiskSpace(session.handler()->deviceId(), &total, &free, &block))
        note(QStringLiteral("warning: cannot read the free space of the device"));
    if (m_o.json) {
        QJsonObject object = CliJson::device(info);
        object.insert(QStringLiteral("freeBytes"), free);
        object.insert(QStringLiteral("totalBytes"), total);
        outJson(QJsonDocument(object));
        return Ok;
    }
    out(QStringLiteral("Identifier:       ") + CliConsole::escaped(QString::fromUtf8(info.identifier())));
    out(QStringLiteral("Name:             ") + CliConsole::escaped(QString::fromUtf8(info.name())));
    out(QStringLiteral("Type:             ") + CliConsole::escaped(QString::fromUtf8(info.typeName())));
    out(QStringLiteral("Firmware version: ") + CliConsole::escaped(QString::fromUtf8(info.firmwareVersion())));
    out(QStringLiteral("Serial number:    ") + CliConsole::escaped(QString::fromUtf8(info.serialNumber())));
    out(QStringLiteral("Family code:      ") + QString::number(info.familyCode()));
    out(QStringLiteral("Free space:       %1 (%2 bytes)").arg(AppModel::sizeText(quint64(free))).arg(quint64(free)));
    out(QStringLiteral("Total space:      %1 (%2 bytes)").arg(AppModel::sizeText(quint64(total))).arg(quint64(total)));
    return Ok;
}

int CliCommands::list(CliSession &session)
{
    AppModel *model = session.appModel();
    if (m_o.json) {
        QJsonArray array;
        int unknown = 0;
        for (int row = 0; row < model->rowCount(); ++row) {
            const AppInfoItem &record = model->itemAt(row)->record;
            array.append(CliJson::app(record));
            if (record.documentsUnknown) {
                err(AppMessages::documentsUnreadable(record.name));
                ++unknown;
            }
        }
        outJson(QJsonDocument(array));
        return unknown ? Failed : Ok;
    }
    QStringList header{QStringLiteral("Bundle ID")};
    for (int column = AppModel::ColName; column < AppModel::ColumnCount; ++column)
        header << model->headerData(column, Qt::Horizontal).toString();
    out(header.join(QLatin1Char('\t')));
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells{model->itemAt(row)->record.appId};
        for (int column = AppModel::ColName; column < AppModel::ColumnCount; ++column)
            cells << model->index(row, column).data().toString();
        outFields(cells);
    }
    return Ok;
}

bool CliCommands::checkFiles(const QString &deviceId, const QStringList &files)
{
    double total = 0;
    for (const QString &file : files) {
        const QFileInfo fi(file);
        if (!fi.isFile() || !fi.isReadable()) {
            err(QStringLiteral("Cannot read the file \"%1\".").arg(file));
            return false;
        }
        total += double(fi.size());
    }
    if (!hasEnoughSpace(deviceId.toUtf8(), total)) {
        err(QStringLiteral("Cannot add files. Insufficient space on your device."));
        return false;
    }
    return true;
}

bool CliCommands::makeFolder(const QString &dir)
{
    if (QDir().mkpath(dir) && QFileInfo(dir).isWritable())
        return true;
    err(QStringLiteral("Cannot write to the folder \"%1\".").arg(dir));
    return false;
}

int CliCommands::install(CliSession &session)
{
    if (!checkFiles(session.deviceKey(), m_o.operands))
        return Failed;
    QList<AppTask *> tasks;
    for (const QString &file : m_o.operands)
        tasks << session.proxy()->createTask(session.handler(), AppTask::InstallAppTask, {QFileInfo(file).absoluteFilePath()});
    return session.run(tasks);
}

QList<ZAppInfoItem *> CliCommands::appsNamed(CliSession &session, const QStringList &ids)
{
    QList<ZAppInfoItem *> apps;
    for (const QString &id : ids) {
        ZAppInfoItem *item = session.appModel()->item(id);
        if (!item) {
            err(QStringLiteral("No app with the identifier \"%1\" is on the device.").arg(id));
            return {};
        }
        apps << item;
    }
    return apps;
}

int CliCommands::uninstall(CliSession &session)
{
    const QList<ZAppInfoItem *> apps = appsNamed(session, m_o.operands);
    if (apps.isEmpty())
        return Failed;
    QList<AppTask *> tasks;
    for (ZAppInfoItem *app : apps) {
        AppTask *task = session.proxy()->createTask(session.handler(), AppTask::UninstallAppTask,
                                                    {AppTaskParams::appHandle(app)});
        app->addAssociateTask(task);
        tasks << task;
    }
    return session.run(tasks);
}

int CliCommands::exportApps(CliSession &session, bool toItunes)
{
    const QList<ZAppInfoItem *> apps = appsNamed(session, m_o.operands);
    if (apps.isEmpty())
        return Failed;
    if (!toItunes && !makeFolder(m_o.toDir))
        return Failed;
    const bool appOnly = toItunes || !m_o.withDocuments;
    QList<AppTask *> tasks;
    for (ZAppInfoItem *app : apps) {
        QVariantList params{AppTaskParams::appHandle(app), appOnly};
        int kind = AppTask::ExportApptoiTunesTask;
        if (!toItunes) {
            kind = AppTask::ExportApptoPCTask;
            const QString name = session.handler()->exportFileName(app->record.appId.toUtf8(), appOnly);
            params << QDir(m_o.toDir).absoluteFilePath(safeFileName(name));
        }
        AppTask *task = session.proxy()->createTask(session.handler(), kind, params);
        app->addAssociateTask(task);
        tasks << task;
    }
    return session.run(tasks);
}

QList<ZDocItemInfo *> CliCommands::docsNamed(CliSession &session, const QStringList &names)
{
    QList<ZDocItemInfo *> docs;
    DocModel *model = session.docModel();
    for (const QString &name : names) {
        ZDocItemInfo *found = nullptr;
        for (int row = 0; row < model->rowCount() && !found; ++row) {
            if (model->itemAt(row)->record.name == name)
                found = model->itemAt(row);
        }
        if (!found) {
            err(QStringLiteral("No document named \"%1\" in the app.").arg(name));
            return {};
        }
        docs << found;
    }
    return docs;
}

int CliCommands::docsList(CliSession &session, ZAppInfoItem *)
{
    DocModel *model = session.docModel();
    if (m_o.json) {
        QList<DocItemInfo> records;
        for (int row = 0; row < model->rowCount(); ++row)
            records << model->itemAt(row)->record;
        outJson(QJsonDocument(CliJson::documents(records)));
        return Ok;
    }
    for (int row = 0; row < model->rowCount(); ++row) {
        outFields({model->index(row, DocModel::ColName).data().toString(),
                   model->index(row, DocModel::ColSize).data().toString(),
                   model->index(row, DocModel::ColModified).data().toString()});
    }
    return Ok;
}

int CliCommands::docs(CliSession &session)
{
    const QList<ZAppInfoItem *> apps = appsNamed(session, {m_o.bundleId});
    if (apps.isEmpty())
        return Failed;
    ZAppInfoItem *app = apps.first();
    if (!app->record.fileSharingEnabled) {
        err(QStringLiteral("The app \"%1\" does not share documents.").arg(app->record.name));
        return Failed;
    }
    // Without a listing, no document can be named, and none is missing.
    if (app->record.documentsUnknown && m_o.docsAction != QLatin1String("add")) {
        err(AppMessages::documentsUnreadable(app->record.name));
        return Failed;
    }
    DocModel *model = session.docModel();
    model->setCurrentApp(app);
    if (m_o.docsAction == QLatin1String("ls"))
        return docsList(session, app);

    QList<AppTask *> tasks;
    if (m_o.docsAction == QLatin1String("add")) {
        if (!checkFiles(session.deviceKey(), m_o.operands))
            return Failed;
        for (const QString &file : m_o.operands)
            tasks << model->createTask(session.handler(), AppTask::AppAddDocTask,
                                       {app->record.appId, QFileInfo(file).absoluteFilePath()});
        return session.run(tasks);
    }
    const QList<ZDocItemInfo *> docs = docsNamed(session, m_o.operands);
    if (docs.isEmpty())
        return Failed;
    if (m_o.docsAction == QLatin1String("get") && !makeFolder(m_o.toDir))
        return Failed;
    for (ZDocItemInfo *doc : docs) {
        AppTask *task = nullptr;
        if (m_o.docsAction == QLatin1String("get")) {
            const QString target = QDir(m_o.toDir).absoluteFilePath(safeFileName(doc->record.name));
            task = model->createTask(session.handler(), AppTask::ExportDoctoPCTask,
                                     {app->record.appId, target, doc->record.name});
        } else {
            task = model->createTask(session.handler(), AppTask::AppDeleteDocTask, {app->record.appId, doc->record.name});
        }
        doc->addAssociateTask(task);
        tasks << task;
    }
    return session.run(tasks);
}
