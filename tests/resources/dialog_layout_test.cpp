// Every dialog and settings page of the program, in English and in each shipped language,
// keeps its controls inside the dialog, never puts two controls on top of each other
// (group boxes aside) and has room for every text. The resources also hold every icon and
// cursor the program loads, at the small and the large size.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/lang/language.h"
#include "resources/resource.h"
#include "tests/resources/dialog_layout.h"

namespace qly::test {
namespace {

class DialogLayout : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        InitCommonControls();
        LoadLibraryA("RICHED32.DLL");
        std::string file = GetParam();
        UseLanguage(file.empty() ? file : std::string("Z:") + QLY_LNG_DIR + "\\" + file);
        ASSERT_EQ(ActiveLanguageFile().empty(), file.empty());
    }
    void TearDown() override { UseLanguage(""); }
};

TEST_P(DialogLayout, NothingOverlapsOrIsCutOff) {
    for (int i = 0; i < kAllDialogCount; ++i) {
        int id = kAllDialogs[i];
        HWND frame = nullptr;
        HWND dialog = OpenTranslatedDialog(id, nullptr, &frame);
        ASSERT_NE(dialog, nullptr) << id;
        for (const std::string& problem : LayoutProblems(dialog)) {
            ADD_FAILURE() << "dialog " << id << ": " << problem;
        }
        DestroyWindow(frame);
    }
}

INSTANTIATE_TEST_SUITE_P(Languages,
                         DialogLayout,
                         ::testing::Values("", "english.lng", "german.lng", "french.lng"),
                         [](const ::testing::TestParamInfo<const char*>& param_info) {
                             std::string name = param_info.param;
                             return name.empty() ? std::string("BuiltIn")
                                                 : name.substr(0, name.find('.'));
                         });

TEST(ResourceArt, EveryIconAndCursorLoadsAtBothSizes) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    for (int id : {IDI_ABOUT, IDI_PASSWORD_NONE, IDI_PASSWORD_SET, IDI_SETTINGS, IDI_HELP,
                   IDI_MENU_DEFAULT, IDI_WINDOW_DEFAULT, IDI_EXIT, IDI_QUILLORY, IDI_REGISTRY_GROUP,
                   IDI_FOLDER_GROUP, IDI_QUILLORY_WAITING}) {
        for (int size : {16, 32}) {
            HICON icon = static_cast<HICON>(
                LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
            ASSERT_NE(icon, nullptr) << id;
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP bm = {};
            GetObjectA(info.hbmColor, sizeof bm, &bm);
            EXPECT_EQ(bm.bmWidth, size) << id;  // drawn at this size, not stretched
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
    for (int id : {IDC_HAND_LINK, IDC_DRAG_TO_TRAY}) {
        HCURSOR cursor = LoadCursorA(module, MAKEINTRESOURCEA(id));
        ASSERT_NE(cursor, nullptr) << id;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(cursor, &info));
        EXPECT_FALSE(info.fIcon);
        EXPECT_LT(info.xHotspot, 16u);
        EXPECT_LT(info.yHotspot, 8u);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

TEST(ResourceArt, ProgramCarriesVersionAndManifest) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                     SizeofResource(module, manifest));
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("asInvoker"), std::string::npos);
    EXPECT_NE(text.find("dpiAware"), std::string::npos);

    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
    char* product = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, "Quillory");
}

}  // namespace
}  // namespace qly::test
