#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

// The help page beside the program.
QString helpFilePath();

// "联机帮助": opens the help page at `path` with the system's handler for it; when the file is
// missing or no handler takes it, says so, naming the file. `open` stands in for the system's
// handler.
bool openHelp(QWidget *parent, const QString &path = helpFilePath(),
              const std::function<bool(const QUrl &)> &open = {});

// "关于...": the program's title, version and what it is.
class AboutDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
};
