#include "app/commandtable.h"

#include "app/commandids.h"

namespace velkar {

namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

const std::vector<CommandInfo>& CCommandTable::Commands() {
    static const std::vector<CommandInfo> table = {
        {cmd::FileNew, S("New(&N)\tCtrl+N"), S("Creat  new file\nNew"), QString()},
        {cmd::FileOpen, S("Open(&O)...\tCtrl+O"), S("Open file\nOpen"), S(":/velkar/icons/open.svg")},
        {cmd::FileSave, S("Save(&S)\tCtrl+S"), S("Save File\nSave"), S(":/velkar/icons/save.svg")},
        {cmd::FileSaveAs, S("Save as(&A)..."), S("Save as\n Save as"), QString()},
        {cmd::Import, S("Import..."), S("Import file\nImport PLT"), S(":/velkar/icons/import.svg")},
        {cmd::FileMru1, S("Recent"), S("打开该文档"), QString()},
        {cmd::AppExit, S("Exit(&X)"), S("Exit\nExit"), QString()},
        {cmd::ViewToolbar, S("Toolbar(&T)"), S("Show or hide tool bar\nShow or hide toolbar"), QString()},
        {cmd::ViewStatusBar, S("Statusbar(&S)"), S("show Status bar\n show Status bar"), QString()},
        {cmd::ZoomOut, S("Zoom Out"), S("Zoom\n ZoomOut"), S(":/velkar/icons/zoomout.svg")},
        {cmd::ZoomIn, S("Zoom In"), S("Zoom \n ZoomIn"), S(":/velkar/icons/zoomin.svg")},
        {cmd::Fit, S("Fit\tCtrl+0"), S("Fit the job and the material into the window\nFit"), QString()},
        {cmd::Redraw, S("Redraw"), S("Redraw"), QString()},
        {cmd::Move, S("Move"), S("Move"), QString()},
        {cmd::Cut, S("Cut(&P)..."), S("Sent Cuter\n Cuter"), S(":/velkar/icons/cut.svg")},
        {cmd::SerialPort, S("Serial Port.."), S(" Set Serial Port\n Set Serial Port"), S(":/velkar/icons/serial.svg")},
        {cmd::CutterParameter, S("Cuter Parameter..."), S("Set parameter\n Set parameter"),
         S(":/velkar/icons/cutterparam.svg")},
        {cmd::Material, S("Material..."), S("Set Material \n Set Material "), S(":/velkar/icons/material.svg")},
        {cmd::DefineColor, S("Define Color "), QString(), QString()},
        {cmd::PenTip, S("Pen Tip"), QString(), QString()},
        {cmd::AppAbout, S("About Velkar(&A)..."), S("About \n About"), S(":/velkar/icons/about.svg")},
    };
    return table;
}

const CommandInfo* CCommandTable::Find(int id) {
    for (const CommandInfo& c : Commands())
        if (c.id == id) return &c;
    return nullptr;
}

const std::vector<MenuInfo>& CCommandTable::Menus() {
    static const std::vector<MenuInfo> menus = {
        {S("File(&F)"),
         {cmd::FileNew, cmd::FileOpen, cmd::FileSave, cmd::FileSaveAs, 0, cmd::Import, 0, cmd::FileMru1, 0,
          cmd::AppExit}},
        {S("View(&V)"), {cmd::ViewToolbar, cmd::ViewStatusBar, cmd::ZoomOut, cmd::ZoomIn, cmd::Fit, cmd::Redraw}},
        {S("Figure(&I)"), {cmd::Move}},
        {S("Cut(&P)"),
         {cmd::Cut, cmd::SerialPort, cmd::CutterParameter, cmd::Material, cmd::DefineColor, cmd::PenTip}},
        {S("Help&H)"), {cmd::AppAbout}},
    };
    return menus;
}

const std::vector<int>& CCommandTable::ToolBar() {
    static const std::vector<int> buttons = {cmd::Import, cmd::FileOpen,   cmd::FileSave,        cmd::ZoomOut,
                                             cmd::ZoomIn, cmd::Material,   cmd::SerialPort,      cmd::CutterParameter,
                                             cmd::Cut,    cmd::AppAbout};
    return buttons;
}

const std::vector<AcceleratorInfo>& CCommandTable::Accelerators() {
    static const std::vector<AcceleratorInfo> keys = {
        {QKeySequence(Qt::CTRL | Qt::Key_N), cmd::FileNew},
        {QKeySequence(Qt::CTRL | Qt::Key_O), cmd::FileOpen},
        {QKeySequence(Qt::CTRL | Qt::Key_S), cmd::FileSave},
        {QKeySequence(Qt::CTRL | Qt::Key_P), cmd::FilePrint},
        {QKeySequence(Qt::CTRL | Qt::Key_0), cmd::Fit},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), cmd::EditUndo},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), cmd::EditUndo},
        {QKeySequence(Qt::CTRL | Qt::Key_X), cmd::EditCut},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), cmd::EditCut},
        {QKeySequence(Qt::CTRL | Qt::Key_C), cmd::EditCopy},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), cmd::EditCopy},
        {QKeySequence(Qt::CTRL | Qt::Key_V), cmd::EditPaste},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), cmd::EditPaste},
        {QKeySequence(Qt::Key_F6), cmd::NextPane},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), cmd::PrevPane},
    };
    return keys;
}

}  // namespace velkar
