#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The settings store: keys holding typed values (32-bit numbers, strings, binary data), kept
// as the Windows registry keeps them. Here the store is one file per user,
// $XDG_CONFIG_HOME/tavelo/registry.reg (~/.config when XDG_CONFIG_HOME is unset), with one
// section per key under its root's name:
//
//     [HKEY_CURRENT_USER\Software\Lumivale\Tavelo2.0]
//     "run count"=dword:00000003
//
// Key paths and value names compare without regard to case. Every change rewrites the file
// through a temporary file and a rename, so a crash never leaves half a store behind.

enum class RegistryRoot : std::uint8_t { ClassesRoot, CurrentUser, LocalMachine };

// Root indices of CRegistryKey.
inline constexpr int kRootClassesRoot = 0;
inline constexpr int kRootCurrentUser = 1;
inline constexpr int kRootLocalMachine = 2;

// The program's own key under the current user.
inline constexpr char kProgramKeyPath[] = "Software\\Lumivale\\Tavelo2.0";

// The text settings kept there: the folders last used for pictures, album files and album
// projects, and the preview's "Show as saved".
inline constexpr char kPictureFolderSetting[] = "picture folder";
inline constexpr char kAlbumFolderSetting[] = "album folder";
inline constexpr char kProjectFolderSetting[] = "project folder";
inline constexpr char kShowAsSavedSetting[] = "show as saved";

// An open key: its root and its path below the root.
struct CRegistryHandle {
    RegistryRoot root = RegistryRoot::CurrentUser;
    std::string path;
};

// The file of the current user's store.
std::string RegistryFilePath();

class CRegistryKey {
public:
    // Opens (or, with `create`, creates) the key at `keyPath` under the root of `rootIndex`;
    // IsOpen() tells whether that worked.
    CRegistryKey(int rootIndex, const std::string& keyPath, bool create);
    virtual ~CRegistryKey();
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // 0 the classes root, 1 the current user, 2 the local machine; none for any other index.
    virtual std::optional<RegistryRoot> RootFromIndex(int rootIndex);
    // Opens the key, or with `create` makes it when it does not exist; false without a root.
    [[nodiscard]] virtual bool OpenKey(std::optional<RegistryRoot> root, const std::string& keyPath,
                                       std::optional<CRegistryHandle>& key, bool create);
    virtual bool IsOpen() const { return m_open; }
    virtual const std::optional<CRegistryHandle>& GetHandle() const { return m_key; }

    // The operations below answer true for success where the Windows registry answers 0 (and
    // false where it answers 1); a Windows implementation maps its results that way.
    [[nodiscard]] virtual bool SetBinary(const void* data, std::uint32_t size,
                                         const std::string& valueName);
    // Stores the text with its terminating zero.
    [[nodiscard]] virtual bool SetString(const char* text, const std::string& valueName);
    [[nodiscard]] virtual bool SetDword(std::uint32_t value, const std::string& valueName);
    // Copies the named value into `buffer`; `size` holds the capacity in and the value's size
    // out. A value larger than the capacity is not read. With no name, reads the key's default
    // text and succeeds whatever it finds.
    [[nodiscard]] virtual bool QueryValue(void* buffer, std::uint32_t& size, const char* valueName);
    // QueryValue as a derived key may have redefined it.
    [[nodiscard]] virtual bool ReadValue(void* buffer, std::uint32_t& size, const char* valueName);
    // The named read of QueryValue, never redefined.
    [[nodiscard]] virtual bool ReadValueDirect(void* buffer, std::uint32_t& size,
                                               const char* valueName);
    [[nodiscard]] virtual bool DeleteValue(const std::string& valueName);

private:
    [[nodiscard]] bool ReadNamedValue(void* buffer, std::uint32_t& size,
                                      const std::string& valueName);

    std::optional<CRegistryHandle> m_key;
    bool m_open = false;
};

// A text setting of the program, under its own key; empty when there is none or it cannot be
// read.
std::string ReadProgramSetting(const std::string& valueName);
// Keeps a text setting of the program; false when the store cannot be written.
bool WriteProgramSetting(const std::string& valueName, const std::string& text);
