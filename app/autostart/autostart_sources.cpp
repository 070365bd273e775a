// The autostart places, their entries and the switches between live and disabled places;
// see autostart_sources.h.
#include "app/autostart/autostart_sources.h"

#include <array>

namespace qly {

namespace {

constexpr char kMachineRun[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kMachineRunOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kMachineRunOnceEx[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
constexpr char kRunServices[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices";
constexpr char kRunServicesOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";
constexpr char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
// The one key Windows documents in mixed case; shown as it is spelled.
constexpr char kUserWindows[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

std::string Disabled(const char* path) {
    return std::string(path) + "-";
}

std::vector<AutostartSource> MakeRegistrySources() {
    std::vector<AutostartSource> s;
    s.reserve(kRegistrySourceCount);
    s.push_back(AutostartSource::Registry(kRootLocalMachine, kMachineRun, Disabled(kMachineRun)));
    s.push_back(AutostartSource::Registry(kRootCurrentUser, kMachineRun, Disabled(kMachineRun)));
    s.push_back(AutostartSource::Registry(kRootLocalMachine, kMachineRunOnce, ""));
    s.push_back(AutostartSource::Registry(kRootLocalMachine, kMachineRunOnceEx, ""));
    s.push_back(AutostartSource::Registry(kRootLocalMachine, kWinlogon, ""));
    s.push_back(AutostartSource::Registry(kRootCurrentUser, kUserWindows, ""));
    s.push_back(AutostartSource::Registry(kRootLocalMachine, kRunServices, Disabled(kRunServices)));
    s.push_back(
        AutostartSource::Registry(kRootLocalMachine, kRunServicesOnce, Disabled(kRunServicesOnce)));
    s.push_back(AutostartSource::Registry(kRootCurrentUser, kRunServices, Disabled(kRunServices)));
    s.push_back(
        AutostartSource::Registry(kRootCurrentUser, kRunServicesOnce, Disabled(kRunServicesOnce)));
    s.push_back(AutostartSource::Registry(kRootCurrentUser, kMachineRunOnce, ""));
    s.push_back(AutostartSource::Registry(kRootCurrentUser, kMachineRunOnceEx, ""));
    return s;
}

}  // namespace

const char* RootKeyName(uint32_t root) {
    static const std::array<const char*, 7> kNames = {
        "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
        "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
    if (root < kRootClassesRoot || root - kRootClassesRoot >= kNames.size())
        return "";
    return kNames[root - kRootClassesRoot];
}

OwnedIcon& OwnedIcon::operator=(OwnedIcon&& other) noexcept {
    if (this != &other) {
        reset();
        m_handle = other.m_handle;
        m_destroy = other.m_destroy;
        other.m_handle = 0;
    }
    return *this;
}

void OwnedIcon::reset() {
    if (m_handle != 0 && m_destroy != nullptr)
        m_destroy(m_handle);
    m_handle = 0;
}

AutostartSource AutostartSource::Registry(uint32_t root,
                                          std::string key_path,
                                          std::string disabled_key_path) {
    AutostartSource s;
    s.m_kind = Kind::kRegistry;
    s.m_root = root;
    s.m_display_name = std::string(RootKeyName(root)) + "\\" + key_path;
    s.m_path = std::move(key_path);
    s.m_disabled_path = std::move(disabled_key_path);
    return s;
}

AutostartSource AutostartSource::Folder(std::string folder) {
    AutostartSource s;
    s.m_kind = Kind::kFolder;
    s.m_display_name = folder;
    s.m_disabled_path = folder + "-";
    s.m_path = std::move(folder);
    return s;
}

const AutostartSource& RegistryAutostartSource(size_t index) {
    static const std::vector<AutostartSource> sources = MakeRegistrySources();
    return sources.at(index);
}

AutostartEntry::AutostartEntry(const AutostartSource* source,
                               std::string name,
                               std::string command,
                               bool disabled,
                               OwnedIcon icon)
    : m_source(source),
      m_name(std::move(name)),
      m_command(std::move(command)),
      m_disabled(disabled ? 1 : 0),
      m_icon(std::move(icon)) {}

bool AutostartEntry::canToggle() const {
    return isGroupHeader() ? m_source->groupToggleable() : m_source->hasDisabledLocation();
}

const std::string& AutostartEntry::displayName() const {
    return isGroupHeader() ? m_source->displayName() : m_name;
}

std::string AutostartEntry::executablePath(bool raw, AutostartPlaces& places) {
    if (raw)
        return m_command;
    m_searched_path = places.FindOnSearchPath(m_command);
    return m_searched_path.empty() ? m_command : m_searched_path;
}

bool AutostartEntry::setEnabled(bool enable, AutostartPlaces& places) {
    if (!canToggle())
        return false;
    if (isDisabled() == !enable)
        return true;
    return m_source->kind() == AutostartSource::Kind::kRegistry ? MoveValue(enable, places)
                                                                : MoveStartupFile(enable, places);
}

bool AutostartEntry::MoveValue(bool enable, AutostartPlaces& places) {
    const uint32_t root = m_source->root();
    const std::string& from = enable ? m_source->disabledPath() : m_source->path();
    const std::string& to = enable ? m_source->path() : m_source->disabledPath();
    MovedValue value;
    if (!places.ReadValue(root, from, m_name, &value))
        return false;
    m_command = value.text;
    // A value of that name in the other place is another command; writing over it would
    // lose it.
    if (places.ValueExists(root, to, m_name))
        return false;
    if (!places.CreateKey(root, to) || !places.WriteValue(root, to, m_name, value))
        return false;
    if (!places.DeleteValue(root, from, m_name)) {
        // Standing in both places, the value would start while it shows as disabled, or
        // come back after its live twin was deleted: take the copy away again.
        places.DeleteValue(root, to, m_name);
        return false;
    }
    m_disabled = enable ? 0 : 1;
    return true;
}

bool AutostartEntry::MoveStartupFile(bool enable, AutostartPlaces& places) {
    const std::string& from_folder = enable ? m_source->disabledPath() : m_source->path();
    const std::string& to_folder = enable ? m_source->path() : m_source->disabledPath();
    const std::string from = from_folder + "\\" + m_name;
    std::string target = places.ResolveFile(from, nullptr);
    if (target.empty())
        return false;
    m_command = std::move(target);
    if (!places.EnsureDirectory(to_folder))
        return false;
    if (!places.MoveItem(from, to_folder + "\\" + m_name))
        return false;
    m_disabled = enable ? 0 : 1;
    return true;
}

void AutostartList::Enumerate(AutostartPlaces& places) {
    m_entries.clear();
    m_folder_sources.clear();
    // The logon shell and its start-up program come first: they run before anything else.
    AddFixedItems(RegistryAutostartSource(kSourceWinlogon), {"Userinit", "Shell"}, places);
    AddRegistrySource(RegistryAutostartSource(kSourceMachineRunOnce), places);
    AddRegistrySource(RegistryAutostartSource(kSourceMachineRunOnceEx), places);
    AddFixedItems(RegistryAutostartSource(kSourceUserWindows), {"Run"}, places);
    AddRegistrySource(RegistryAutostartSource(kSourceMachineRun), places);
    AddRegistrySource(RegistryAutostartSource(kSourceUserRun), places);
    AddStartupFolder(true, places);
    AddStartupFolder(false, places);
    AddFixedItems(RegistryAutostartSource(kSourceUserWindows), {"Load"}, places);
    for (size_t i :
         {kSourceMachineRunServices, kSourceMachineRunServicesOnce, kSourceUserRunServices,
          kSourceUserRunServicesOnce, kSourceUserRunOnce, kSourceUserRunOnceEx})
        AddRegistrySource(RegistryAutostartSource(i), places);
}

void AutostartList::AddFixedItems(const AutostartSource& source,
                                  std::initializer_list<const char*> names,
                                  AutostartPlaces& places) {
    // Shown whether or not the key or the value exists: a missing logon shell is worth
    // seeing too.
    m_entries.push_back(std::make_unique<AutostartEntry>(
        &source, "", "", false, places.GroupIcon(AutostartSource::Kind::kRegistry)));
    for (const char* name : names) {
        std::string text;
        if (!places.ReadValueText(source.root(), source.path(), name, &text))
            text.clear();
        m_entries.push_back(
            std::make_unique<AutostartEntry>(&source, name, std::move(text), false, OwnedIcon()));
    }
}

void AutostartList::AddRegistrySource(const AutostartSource& source, AutostartPlaces& places) {
    std::vector<ListedValue> values;
    if (!places.ListValues(source.root(), source.path(), &values))
        return;
    m_entries.push_back(std::make_unique<AutostartEntry>(
        &source, "", "", false, places.GroupIcon(AutostartSource::Kind::kRegistry)));
    const auto add = [&](std::vector<ListedValue>& found, bool disabled) {
        for (ListedValue& v : found) {
            // The unnamed default value of a key is no autostart entry, and as an empty
            // name it would pass for a group header.
            if (v.name.empty())
                continue;
            m_entries.push_back(std::make_unique<AutostartEntry>(
                &source, std::move(v.name), std::move(v.text), disabled, OwnedIcon()));
        }
    };
    add(values, false);
    if (!source.hasDisabledLocation())
        return;
    values.clear();
    if (places.ListValues(source.root(), source.disabledPath(), &values))
        add(values, true);
}

void AutostartList::AddStartupFolder(bool common, AutostartPlaces& places) {
    std::string folder;
    if (!places.StartupFolder(common, &folder))
        return;
    m_folder_sources.push_back(std::make_unique<AutostartSource>(AutostartSource::Folder(folder)));
    const AutostartSource& source = *m_folder_sources.back();
    if (!places.IsFolder(source.path()))
        return;
    m_entries.push_back(std::make_unique<AutostartEntry>(
        &source, "", "", false, places.GroupIcon(AutostartSource::Kind::kFolder)));
    AddFolderItems(source, false, places);
    AddFolderItems(source, true, places);
}

void AutostartList::AddFolderItems(const AutostartSource& source,
                                   bool disabled,
                                   AutostartPlaces& places) {
    const std::string& folder = disabled ? source.disabledPath() : source.path();
    for (std::string& name : places.ListFolder(folder)) {
        // "." and "..", and the files that a leading dot marks as not meant to be shown.
        if (name.empty() || name[0] == '.')
            continue;
        OwnedIcon icon;
        std::string target = places.ResolveFile(folder + "\\" + name, &icon);
        m_entries.push_back(std::make_unique<AutostartEntry>(
            &source, std::move(name), std::move(target), disabled, std::move(icon)));
    }
}

}  // namespace qly
