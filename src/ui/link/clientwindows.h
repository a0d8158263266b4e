#pragma once

class FrontDesk;
class QWidget;

// The client-control windows, opened from the main window's menus. Each opens a modal
// dialog over `parent` and returns when it closes.

// "计算机状态": the programs running on the selected machine, with "结束程序".
void openProgramList(FrontDesk &desk, QWidget *parent);

// "控制客记机": control commands to the selected machine or a group of machines.
void openClientControl(FrontDesk &desk, QWidget *parent);

// "设置快速网址": the quick web addresses; pushed to every connected machine on close.
void openQuickAddresses(FrontDesk &desk, QWidget *parent);

// "访问限制": the restricted web sites; pushed to every connected machine on close.
void openRestrictedSites(FrontDesk &desk, QWidget *parent);

// Opens "计算机状态" (without asking again) whenever a PC sends its program list; call once
// after the main window is built.
void showProgramListOnArrival(FrontDesk &desk, QWidget *parent);
