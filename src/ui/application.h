#pragma once

#include <QLockFile>
#include <memory>

class FrontDesk;
class QApplication;
class QCoreApplication;

// Names, fonts and look shared by the whole program.
void setUpApplication(QApplication &app);

// Held for the life of the program; empty when another copy runs from the same folder. The
// lock of a copy that crashed does not block the next start.
std::unique_ptr<QLockFile> singleInstanceLock();

// Opens dbase.mdb in the program's folder; when it cannot be opened, tells the operator
// which file and why, and returns false.
bool openStoreOrExplain(FrontDesk &desk);

// Installs Qt's Simplified Chinese translations; false (logged) when they are not installed.
bool loadChineseTranslations(QCoreApplication &app);

// The login at start-up, before the main window shows: false when the operator cancels (the
// program then ends). Without operators nobody logs in and the right is "D".
bool logInAtStart(FrontDesk &desk);
