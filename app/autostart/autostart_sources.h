// The places Windows starts programs from at log-on (the Run keys and their relatives, the
// logon shell values, the two Startup folders), the entries read from them in the order the
// user sees them, and the switch that disables an entry by moving it to a sibling place
// whose name ends in "-", where Windows starts nothing. A move never loses what it moves:
// a registry value keeps its type and all its data, and nothing is moved over something of
// the same name. Plain C++ over AutostartPlaces, which the program gives the real registry
// and file system (autostart_list.h) and the tests an in-memory one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace qly {

// The predefined registry roots, by the numbers Windows gives their handles.
constexpr uint32_t kRootClassesRoot = 0x80000000;
constexpr uint32_t kRootCurrentUser = 0x80000001;
constexpr uint32_t kRootLocalMachine = 0x80000002;
constexpr uint32_t kRootUsers = 0x80000003;
constexpr uint32_t kRootPerformanceData = 0x80000004;
constexpr uint32_t kRootCurrentConfig = 0x80000005;
constexpr uint32_t kRootDynData = 0x80000006;

// The name a root is shown under ("HKEY_LOCAL_MACHINE"); empty for any other root.
const char* RootKeyName(uint32_t root);

// An icon handle together with the call that frees it (none for a shared resource icon), so
// that an entry owns its icon without this code knowing Windows.
class OwnedIcon {
  public:
    using Destroy = void (*)(uintptr_t handle);
    OwnedIcon() = default;
    OwnedIcon(uintptr_t handle, Destroy destroy) : m_handle(handle), m_destroy(destroy) {}
    ~OwnedIcon() { reset(); }
    OwnedIcon(OwnedIcon&& other) noexcept : m_handle(other.m_handle), m_destroy(other.m_destroy) {
        other.m_handle = 0;
    }
    OwnedIcon& operator=(OwnedIcon&& other) noexcept;
    OwnedIcon(const OwnedIcon&) = delete;
    OwnedIcon& operator=(const OwnedIcon&) = delete;
    uintptr_t get() const { return m_handle; }
    void reset();

  private:
    uintptr_t m_handle = 0;
    Destroy m_destroy = nullptr;
};

// One place programs are started from: a registry key under a root, or a folder. Its
// disabled-copy location is the sibling with "-" appended, or empty when entries of this
// place cannot be switched off (Windows deletes RunOnce values itself once it ran them).
class AutostartSource {
  public:
    enum class Kind { kRegistry, kFolder };

    // Shown as the root's name, a backslash and the key path.
    static AutostartSource Registry(uint32_t root,
                                    std::string key_path,
                                    std::string disabled_key_path);
    // Shown as the folder path; disabled copies go to the path with "-" appended.
    static AutostartSource Folder(std::string folder);

    Kind kind() const { return m_kind; }
    uint32_t root() const { return m_root; }
    const std::string& path() const { return m_path; }
    const std::string& disabledPath() const { return m_disabled_path; }

    // A group header never switches anything.
    bool groupToggleable() const { return false; }
    bool hasDisabledLocation() const { return !m_disabled_path.empty(); }
    const std::string& displayName() const { return m_display_name; }

  private:
    AutostartSource() = default;
    Kind m_kind = Kind::kRegistry;
    uint32_t m_root = 0;
    std::string m_path;
    std::string m_disabled_path;
    std::string m_display_name;
};

// The twelve registry places in their fixed numbering (index 0 is the machine's Run key);
// they live for the whole run.
enum RegistrySourceIndex : size_t {
    kSourceMachineRun = 0,
    kSourceUserRun,
    kSourceMachineRunOnce,
    kSourceMachineRunOnceEx,
    kSourceWinlogon,
    kSourceUserWindows,
    kSourceMachineRunServices,
    kSourceMachineRunServicesOnce,
    kSourceUserRunServices,
    kSourceUserRunServicesOnce,
    kSourceUserRunOnce,
    kSourceUserRunOnceEx,
    kRegistrySourceCount
};
const AutostartSource& RegistryAutostartSource(size_t index);

// A value on its way from one key to another: its type and data exactly as the registry
// holds them, and the data as the text the list shows.
struct MovedValue {
    uint32_t type = 0;
    std::vector<uint8_t> data;
    std::string text;
};

// A value as a key's listing gives it: its name and its data as text, whatever its type.
struct ListedValue {
    std::string name;
    std::string text;
};

// What the listing and the switches need of the registry and the file system. Registry
// calls name a root by its number and a key by its path under the root.
class AutostartPlaces {
  public:
    virtual ~AutostartPlaces() = default;

    // Every value of the key, in the registry's order; false when the key cannot be opened.
    virtual bool ListValues(uint32_t root,
                            const std::string& key,
                            std::vector<ListedValue>* values) = 0;
    // One value with its type and all its data; false when the key or value cannot be read
    // or the key cannot be written (a value that cannot be deleted is not worth copying).
    virtual bool ReadValue(uint32_t root,
                           const std::string& key,
                           const std::string& name,
                           MovedValue* value) = 0;
    // One value's data as text, read-only; false when the key or value cannot be read.
    virtual bool ReadValueText(uint32_t root,
                               const std::string& key,
                               const std::string& name,
                               std::string* text) = 0;
    virtual bool ValueExists(uint32_t root, const std::string& key, const std::string& name) = 0;
    // Opens the key, creating it when missing.
    virtual bool CreateKey(uint32_t root, const std::string& key) = 0;
    virtual bool WriteValue(uint32_t root,
                            const std::string& key,
                            const std::string& name,
                            const MovedValue& value) = 0;
    virtual bool DeleteValue(uint32_t root, const std::string& key, const std::string& name) = 0;

    // The all-users (`common`) or this user's Startup folder; false when Windows has none.
    virtual bool StartupFolder(bool common, std::string* path) = 0;
    // True when the path (environment variables expanded) is an existing folder.
    virtual bool IsFolder(const std::string& path) = 0;
    // Every name the folder holds ("." and ".." included); empty when it cannot be listed.
    virtual std::vector<std::string> ListFolder(const std::string& path) = 0;
    // What a file of a Startup folder starts: a shortcut's target, else the file's own path;
    // empty when it cannot be told. `icon` (may be null) receives the file's icon.
    virtual std::string ResolveFile(const std::string& path, OwnedIcon* icon) = 0;
    // True when the path is a folder or could be created as one.
    virtual bool EnsureDirectory(const std::string& path) = 0;
    // Fails, touching nothing, when `to` exists.
    virtual bool MoveItem(const std::string& from, const std::string& to) = 0;

    // The shared icon of a registry group's or a folder group's header.
    virtual OwnedIcon GroupIcon(AutostartSource::Kind kind) = 0;
    // The program a command names, found along the search path; empty when none is found.
    virtual std::string FindOnSearchPath(const std::string& command) = 0;
};

// One line of the list: a group header (empty name), which stands for its source, or an
// item read from the source's live place or from its disabled copy.
class AutostartEntry {
  public:
    AutostartEntry(const AutostartSource* source,
                   std::string name,
                   std::string command,
                   bool disabled,
                   OwnedIcon icon);

    bool isGroupHeader() const { return m_name.empty(); }
    bool isDisabled() const { return m_disabled != 0; }
    bool canToggle() const;
    // A header shows its source's title, an item its name.
    const std::string& displayName() const;
    // With `raw`, the command; else the program found for it along the search path (kept
    // as the searched path), or the command when none was found.
    std::string executablePath(bool raw, AutostartPlaces& places);
    // Moves the entry to its live place (`enable`) or to the disabled copy. Succeeds at once
    // when it is there already; fails, changing nothing, for an entry that cannot be
    // toggled, a value or file that cannot be read, or a name already taken in the other
    // place.
    bool setEnabled(bool enable, AutostartPlaces& places);

    const AutostartSource& source() const { return *m_source; }
    const std::string& name() const { return m_name; }
    const std::string& command() const { return m_command; }
    const std::string& searchedPath() const { return m_searched_path; }
    uintptr_t icon() const { return m_icon.get(); }

  private:
    bool MoveValue(bool enable, AutostartPlaces& places);
    bool MoveStartupFile(bool enable, AutostartPlaces& places);

    const AutostartSource* m_source;
    std::string m_name;
    std::string m_command;
    std::string m_searched_path;
    uint32_t m_disabled;
    OwnedIcon m_icon;
};

// The entries of one enumeration, in listing order. The list owns them and the two folder
// sources of that enumeration; their addresses stay valid until the next Enumerate.
class AutostartList {
  public:
    // Forgets the previous entries and reads every place again.
    void Enumerate(AutostartPlaces& places);
    const std::vector<std::unique_ptr<AutostartEntry>>& entries() const { return m_entries; }

  private:
    void AddFixedItems(const AutostartSource& source,
                       std::initializer_list<const char*> names,
                       AutostartPlaces& places);
    void AddRegistrySource(const AutostartSource& source, AutostartPlaces& places);
    void AddStartupFolder(bool common, AutostartPlaces& places);
    void AddFolderItems(const AutostartSource& source, bool disabled, AutostartPlaces& places);

    std::vector<std::unique_ptr<AutostartEntry>> m_entries;
    std::vector<std::unique_ptr<AutostartSource>> m_folder_sources;
};

}  // namespace qly
