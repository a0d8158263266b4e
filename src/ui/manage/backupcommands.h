#pragma once

class FrontDesk;
class QWidget;

// "数据备份": a copy of the store, to a file the operator chooses.
void backUpData(FrontDesk &desk, QWidget *parent);
// "数据还原": the store replaced by a backup the operator chooses and confirms. True when the
// store was closed and opened again (the main window then starts again on it).
bool restoreData(FrontDesk &desk, QWidget *parent);
