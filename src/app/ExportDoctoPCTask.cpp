#include "ExportDoctoPCTask.h"

#include "AppHandler.h"

#include <QFileInfo>

ExportDoctoPCTask::ExportDoctoPCTask(AppHandler *handler) : AppTask(handler, AppTask::ExportDoctoPCTask)
{
}

QString ExportDoctoPCTask::fileName() const
{
    return QFileInfo(m_docName).fileName();
}

void ExportDoctoPCTask::setTargetPath(const QString &path)
{
    m_targetPath = path;
    m_savePath = path;
}

void ExportDoctoPCTask::setParams(const QVariantList &params)
{
    m_appId = params.value(0).toString();
    setTargetPath(params.value(1).toString());
    m_docName = params.value(2).toString();
}

int ExportDoctoPCTask::execute()
{
    return runFrame([this] {
        return handler()->AppExportDoc(m_appId.toUtf8(), m_docName.toUtf8(), m_targetPath.toUtf8(), this);
    });
}
