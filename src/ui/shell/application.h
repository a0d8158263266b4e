#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

class FrontDesk;
class QApplication;
class QCoreApplication;

// Names, fonts and look shared by the whole program.
void setUpApplication(QApplication &app);

// Held for the life of the program; empty when another copy runs from the same folder (the
// program then ends silently) or when the folder cannot be written (that is said, naming the
// folder and why). The lock of a copy that crashed does not block the next start.
std::unique_ptr<QLockFile> singleInstanceLock();
std::unique_ptr<QLockFile> singleInstanceLock(const QString &folder);

// Opens dbase.mdb in the program's folder (or `folder`); when it cannot be opened, tells the
// operator which file and why, and returns false. A missing file beside a backup/ holding
// backups is created only when the operator says so (a deleted store is not silently
// replaced by an empty one that nobody needs to log in to).
bool openStoreOrExplain(FrontDesk &desk);
bool openStoreOrExplain(FrontDesk &desk, const QString &folder);

// The program's style: the platform's, with password fields masked by "*" as the café's
// operators know them (styles mask with "●" by default).
void useDeskStyle(QApplication &app);

// Installs Qt's Simplified Chinese translations; false (logged) when they are not installed.
bool loadChineseTranslations(QCoreApplication &app);

// The login at start-up, before the main window shows: false when the operator cancels (the
// program then ends). Without operators nobody logs in and the right is "D".
bool logInAtStart(FrontDesk &desk);
// The login after a restore: the start-up login on the restored store, the previous operator
// forgotten first, so cancelling leaves nobody logged in (the program then ends).
bool logInAfterRestore(FrontDesk &desk);
