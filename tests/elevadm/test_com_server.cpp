// A tiny COM server for ElevAdm's tests: registering it writes a marker value under the
// current user's key, unregistering removes it.
#include <windows.h>

namespace {
constexpr char kKey[] = "Software\\QuilloryTest";
constexpr char kValue[] = "ComServerRegistered";
}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer();
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer();

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    const DWORD one = 1;
    RegSetValueExA(key, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(key);
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return S_OK;
    RegDeleteValueA(key, kValue);
    RegCloseKey(key);
    return S_OK;
}
