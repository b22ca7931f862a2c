// Makes controls from class names ("C" + skin element name + "UI"): the table
// through which skin elements become objects.
#pragma once

#include <map>
#include <string>

namespace SkinUI {

class CControlUI;

class CControlFactory {
public:
    typedef CControlUI* (*CreateClass)();

    // The process-wide factory, created on first use with every class this
    // build has. Classes named by skins but absent from the build stay
    // unregistered, so their elements make nothing.
    static CControlFactory* GetInstance();
    // Deletes the factory; the next GetInstance starts again from the
    // built-in classes.
    static void Release();

    // A new control, or null when the class name (compared case-sensitively)
    // is not registered.
    CControlUI* CreateControl(const wchar_t* className) const;
    // Adds or replaces a class.
    void RegistControl(const wchar_t* className, CreateClass creator);
    bool IsRegistered(const wchar_t* className) const;

private:
    CControlFactory();
    ~CControlFactory() = default;
    CControlFactory(const CControlFactory&) = delete;
    CControlFactory& operator=(const CControlFactory&) = delete;

    std::map<std::wstring, CreateClass> m_creators;
};

} // namespace SkinUI
