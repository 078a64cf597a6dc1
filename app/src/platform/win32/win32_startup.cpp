#include "win32_startup.h"

#include <windows.h>

namespace win32 {

namespace {

const wchar_t* const kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The Run key opened with the given rights, closed when it goes.
class RunKey
{
public:
    explicit RunKey(REGSAM access)
    {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, access, &m_key) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~RunKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    RunKey(const RunKey&) = delete;
    RunKey& operator=(const RunKey&) = delete;

    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

} // namespace

std::wstring startupCommandLine(const std::wstring& programPath, const std::wstring& arguments)
{
    std::wstring line = L"\"" + programPath + L"\"";
    if (!arguments.empty())
        line += L" " + arguments;
    return line;
}

bool addToStartup(const std::wstring& name, const std::wstring& commandLine)
{
    const RunKey key(KEY_SET_VALUE);
    if (!key.get())
        return false;
    // REG_SZ data counts its terminating NUL.
    const DWORD bytes = static_cast<DWORD>((commandLine.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool removeFromStartup(const std::wstring& name)
{
    const RunKey key(KEY_SET_VALUE);
    if (!key.get())
        return false;
    return RegDeleteValueW(key.get(), name.c_str()) == ERROR_SUCCESS;
}

bool isInStartup(const std::wstring& name)
{
    const RunKey key(KEY_QUERY_VALUE);
    if (!key.get())
        return false;
    // Only the type and size are asked for: any data counts.
    DWORD type = 0;
    DWORD bytes = 0;
    return RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS;
}

} // namespace win32
