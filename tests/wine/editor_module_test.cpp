// The module-wide side of the editor: window classes registered at load and
// gone at unload, a module loaded, unloaded and loaded again, two copies of
// the module side by side, and two instances with two open editors.
#include "tests/wine/editor_test_support.h"

using namespace editor_test;

namespace {

struct ExpectedClass {
    const char* name;
    UINT style;
    int cursor;
};

const ExpectedClass kClasses[] = {
    {"TRELLUXMEDITORCLASS", CS_HREDRAW | CS_VREDRAW, 32512},
    {"TRELLUXMKNOBCLASS", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, 32645},
    {"TRELLUDRAWITORCLASS", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, 32512},
    {"TRELLUXMUTTONCLASS", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, 32512},
};

HMODULE loadedPlugin() { return GetModuleHandleA("Vorzle.dll"); }

// The plug-in copied under another name into the temporary folder; empty on failure.
std::string copyOfPlugin(const char* name) {
    char folder[MAX_PATH];
    if (GetTempPathA(sizeof folder, folder) == 0) return {};
    const std::string path = std::string(folder) + name;
    return CopyFileA(defaultPluginPath().c_str(), path.c_str(), FALSE) ? path : std::string();
}

bool insideModule(const void* address, HMODULE module) {
    MEMORY_BASIC_INFORMATION info = {};
    return VirtualQuery(address, &info, sizeof info) != 0 && info.AllocationBase == module;
}

void expectClassesOf(HMODULE module) {
    for (const ExpectedClass& c : kClasses) {
        SCOPED_TRACE(c.name);
        WNDCLASSEXA info = {};
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetClassInfoExA(module, c.name, &info));
        EXPECT_EQ(info.style, c.style);
        EXPECT_EQ(info.cbClsExtra, 0);
        EXPECT_EQ(info.cbWndExtra, 0);
        EXPECT_EQ(info.hIcon, nullptr);
        EXPECT_EQ(info.lpszMenuName, nullptr);
        EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, MAKEINTRESOURCEA(c.cursor)));
        EXPECT_NE(info.hbrBackground, nullptr);
        EXPECT_TRUE(insideModule(reinterpret_cast<const void*>(info.lpfnWndProc), module));
    }
}

bool classRegistered(HMODULE module, const char* name) {
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    return GetClassInfoExA(module, name, &info) != FALSE;
}

// The editor works: a drag on the Volume knob changes the stored value and
// hovering a knob shows the readout.
void expectEditorWorks(PluginModule& module, int slot = 0) {
    OpenEditor e(module, slot);
    ASSERT_TRUE(e.ready());
    EXPECT_EQ(childWindows(e.editor).size(), 44u);
    e.setValue(0, 0.5f);
    HWND volume = e.control("TRELLUXMKNOBCLASS", 0);
    RECT r;
    GetWindowRect(volume, &r);
    SetCursorPos(r.left + 20, r.top + 20);
    SendMessageA(volume, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SetCursorPos(r.left + 20, r.top + 10);
    SendMessageA(volume, WM_MOUSEMOVE, MK_LBUTTON, 0);
    SendMessageA(volume, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(e.display(0), "51.00 %");
    e.moveCursorTo(40, 50);
    e.idle();
    EXPECT_TRUE(IsWindowVisible(e.readout()));
}

}  // namespace

TEST_F(EditorTest, LoadingRegistersTheFourWindowClasses) {
    HMODULE plugin = loadedPlugin();
    ASSERT_NE(plugin, nullptr);
    expectClassesOf(plugin);
}

// Hosts that scan plug-ins load, unload and load again in one process. The
// test works on a private copy of the DLL, so that other tests keeping
// Vorzle.dll loaded do not stop it from really unloading.
TEST_F(EditorTest, ModuleUnloadsAndLoadsAgainWithAWorkingEditor) {
    const std::string path = copyOfPlugin("VorzleReload.dll");
    ASSERT_FALSE(path.empty());
    {
        PluginModule copy;
        std::string error;
        ASSERT_TRUE(copy.load(path, error)) << error;
        expectEditorWorks(copy);
        HMODULE first = GetModuleHandleA("VorzleReload.dll");
        copy.unload();
        ASSERT_EQ(GetModuleHandleA("VorzleReload.dll"), nullptr);
        // Unloading takes the classes along, so a new load never meets stale ones.
        for (const ExpectedClass& c : kClasses) EXPECT_FALSE(classRegistered(first, c.name)) << c.name;

        ASSERT_TRUE(copy.load(path, error)) << error;
        expectClassesOf(GetModuleHandleA("VorzleReload.dll"));
        expectEditorWorks(copy);
        copy.unload();
        ASSERT_TRUE(copy.load(path, error)) << error;
        expectEditorWorks(copy);
    }
    DeleteFileA(path.c_str());
}

TEST_F(EditorTest, SecondCopyOfTheModuleWorksBesideTheFirst) {
    const std::string copyPath = copyOfPlugin("VorzleEditorCopy.dll");
    ASSERT_FALSE(copyPath.empty());
    {
        PluginModule copy;
        std::string error;
        ASSERT_TRUE(copy.load(copyPath, error)) << error;
        HMODULE copyHandle = GetModuleHandleA("VorzleEditorCopy.dll");
        ASSERT_NE(copyHandle, loadedPlugin());
        expectClassesOf(copyHandle);
        expectClassesOf(loadedPlugin());
        expectEditorWorks(copy, 1);
        expectEditorWorks(module, 0);
        copy.unload();
        expectEditorWorks(module, 0);
    }
    DeleteFileA(copyPath.c_str());
}

TEST_F(EditorTest, TwoInstancesKeepTwoEditorsApart) {
    OpenEditor first(module, 0);
    OpenEditor second(module, 1);
    ASSERT_TRUE(first.ready());
    ASSERT_TRUE(second.ready());
    EXPECT_NE(first.editor, second.editor);
    EXPECT_NE(userData(first.editor), userData(second.editor));

    first.setValue(0, 0.25f);
    second.setValue(0, 0.75f);
    EXPECT_EQ(first.display(0), "25.00 %");
    EXPECT_EQ(second.display(0), "75.00 %");

    // Hovering a knob of one editor shows only that editor's readout.
    first.moveCursorTo(40, 50);
    first.idle();
    second.idle();
    EXPECT_TRUE(IsWindowVisible(first.readout()));
    EXPECT_FALSE(IsWindowVisible(second.readout()));
    EXPECT_TRUE(capture(first.readout()) == expectedReadout("25.00 %"));
    second.moveCursorTo(40, 50);
    first.idle();
    second.idle();
    EXPECT_FALSE(IsWindowVisible(first.readout()));
    EXPECT_TRUE(IsWindowVisible(second.readout()));
    EXPECT_TRUE(capture(second.readout()) == expectedReadout("75.00 %"));

    // Closing one editor leaves the other whole.
    first.plugin->dispatch(effEditClose);
    EXPECT_EQ(childWindows(first.host).size(), 0u);
    EXPECT_EQ(childWindows(second.editor).size(), 44u);
    second.setValue(1, 0.5f);
    EXPECT_EQ(second.display(1), "50.00 %");
    second.idle();
    EXPECT_TRUE(IsWindowVisible(second.readout()));
}

TEST_F(EditorTest, ClosingTheInstanceWithItsEditorOpenDestroysTheWindow) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND editor = e.editor;
    HWND readout = e.readout();
    e.moveCursorTo(40, 50);
    e.idle();
    e.plugin->close();   // effClose with the editor still open
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_FALSE(IsWindow(readout));
    EXPECT_EQ(childWindows(e.host).size(), 0u);
    pumpMessages();
}

TEST_F(EditorTest, EditorOpcodesWithTheEditorClosedDoNoHarm) {
    std::string error;
    auto plugin = PluginInstance::create(module.entry(), error);
    ASSERT_TRUE(plugin) << error;
    plugin->dispatch(effEditClose);
    plugin->dispatch(effEditIdle);   // consumes the update requested at construction
    plugin->dispatch(effSetProgram, 0, 3);
    plugin->dispatch(effEditIdle);
    plugin->dispatch(effEditClose);
    // The editor opens afterwards as usual.
    HWND host = hostWindow();
    EXPECT_EQ(plugin->dispatch(effEditOpen, 0, 0, host), 1);
    EXPECT_EQ(childWindows(GetWindow(host, GW_CHILD)).size(), 44u);
    plugin->close();
    EXPECT_EQ(childWindows(host).size(), 0u);
}
