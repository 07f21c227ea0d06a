#include "RegCommand.h"

#include "CliError.h"
#include "ValueText.h"
#include "platform/RegFile.h"
#include "platform/RootKeys.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistry.h"
#include "platform/wine/WineRegistryEditor.h"

namespace tw::cli {

using namespace tw::win;
using platform::KeyHandle;
using platform::KeyPath;

const char* const kRegUsage =
    "  reg query KEY [NAME]              show a key's values and subkeys, or one value\n"
    "  reg set KEY NAME TYPE DATA        set a value (TYPE: REG_SZ, REG_EXPAND_SZ,\n"
    "                                    REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY)\n"
    "  reg delete KEY [NAME]             delete a value, or a key with its subtree\n"
    "  reg export FILE [KEY] [--regedit4]  write a .reg file (whole registry without KEY)\n"
    "  reg import FILE                   import a .reg file, all or nothing\n"
    "  KEY is written as HKEY_LOCAL_MACHINE\\Software\\...; NAME \"\" is the default value.\n";

namespace {

KeyPath parseKey(const std::string& text)
{
    std::optional<KeyPath> key = platform::parseKeyPath(text);
    if (!key)
        throw UsageError("\"" + text +
                         "\" does not start with a root key (HKEY_CLASSES_ROOT, "
                         "HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS or "
                         "HKEY_CURRENT_CONFIG)");
    return *key;
}

std::string keyText(const KeyPath& key)
{
    return key.subKey.empty() ? key.rootName : key.rootName + "\\" + key.subKey;
}

std::string errorText(LONG rc)
{
    switch (rc) {
    case ERROR_FILE_NOT_FOUND:
        return "not found";
    case ERROR_ACCESS_DENIED:
        return "access denied";
    case ERROR_INVALID_PARAMETER:
        return "invalid name";
    default:
        return "error " + std::to_string(rc);
    }
}

void requireWritable(wine::WinePrefix& prefix)
{
    if (prefix.isReadOnly())
        throw CliError(prefix.readOnlyReason());
}

void saveChanges(wine::WinePrefix& prefix)
{
    try {
        prefix.save();
    } catch (const wine::PrefixError& e) {
        throw CliError(e.what());
    }
}

void printValue(std::ostream& out, const std::string& name, DWORD type, const std::string& data)
{
    out << "    " << (name.empty() ? "(Default)" : name) << "    " << valueTypeName(type) << "    "
        << formatValueData(type, data) << "\n";
}

void query(wine::WinePrefix& prefix, const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() < 2 || args.size() > 3)
        throw UsageError("reg query takes KEY [NAME]");
    const KeyPath key = parseKey(args[1]);
    platform::Registry& registry = prefix.registry();
    KeyHandle handle(registry);
    if (registry.openKey(key.root, key.subKey, KEY_READ, handle.out()) != ERROR_SUCCESS)
        throw CliError("The key " + keyText(key) + " does not exist");

    DWORD type = 0;
    std::string data;
    if (args.size() == 3) {
        if (registry.queryValue(handle.get(), args[2], &type, &data) != ERROR_SUCCESS)
            throw CliError("The value \"" + args[2] + "\" does not exist in " + keyText(key));
        out << keyText(key) << "\n";
        printValue(out, args[2], type, data);
        return;
    }
    out << keyText(key) << "\n";
    std::string name;
    for (DWORD i = 0; registry.enumValue(handle.get(), i, &name, &type, &data) == ERROR_SUCCESS;
         ++i)
        printValue(out, name, type, data);
    bool first = true;
    for (DWORD i = 0; registry.enumKey(handle.get(), i, &name) == ERROR_SUCCESS; ++i) {
        if (first)
            out << "\n";
        first = false;
        out << keyText(key) << "\\" << name << "\n";
    }
}

void set(wine::WinePrefix& prefix, const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() != 5)
        throw UsageError("reg set takes KEY NAME TYPE DATA");
    const KeyPath key = parseKey(args[1]);
    const std::optional<DWORD> type = writableValueType(args[3]);
    if (!type)
        throw UsageError("\"" + args[3] +
                         "\" is not a value type; use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, "
                         "REG_DWORD, REG_QWORD or REG_BINARY");
    const std::string data = parseValueData(*type, args[4]);
    requireWritable(prefix);
    platform::Registry& registry = prefix.registry();
    KeyHandle handle(registry);
    if (const LONG rc = registry.createKey(key.root, key.subKey, KEY_ALL_ACCESS, handle.out()))
        throw CliError("Cannot open or create " + keyText(key) + ": " + errorText(rc));
    if (const LONG rc = registry.setValue(handle.get(), args[2], *type, data))
        throw CliError("Cannot set \"" + args[2] + "\" in " + keyText(key) + ": " + errorText(rc));
    saveChanges(prefix);
    out << "Set " << keyText(key) << " \"" << args[2] << "\"\n";
}

void remove(wine::WinePrefix& prefix, const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() < 2 || args.size() > 3)
        throw UsageError("reg delete takes KEY [NAME]");
    const KeyPath key = parseKey(args[1]);
    requireWritable(prefix);
    platform::Registry& registry = prefix.registry();
    if (args.size() == 3) {
        KeyHandle handle(registry);
        if (registry.openKey(key.root, key.subKey, KEY_ALL_ACCESS, handle.out()) != ERROR_SUCCESS)
            throw CliError("The key " + keyText(key) + " does not exist");
        if (const LONG rc = registry.deleteValue(handle.get(), args[2]))
            throw CliError("Cannot delete \"" + args[2] + "\" in " + keyText(key) + ": " +
                           errorText(rc));
        saveChanges(prefix);
        out << "Deleted " << keyText(key) << " \"" << args[2] << "\"\n";
        return;
    }
    if (key.subKey.empty())
        throw CliError("A root key cannot be deleted");
    if (const LONG rc = platform::deleteKeyTree(registry, key.root, key.subKey))
        throw CliError("Cannot delete " + keyText(key) + ": " + errorText(rc));
    saveChanges(prefix);
    out << "Deleted " << keyText(key) << "\n";
}

void exportFile(wine::WinePrefix& prefix, const std::vector<std::string>& args, std::ostream& out)
{
    std::vector<std::string> plain;
    platform::RegFileFormat format = platform::RegFileFormat::Unicode;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--regedit4")
            format = platform::RegFileFormat::Ansi;
        else
            plain.push_back(args[i]);
    }
    if (plain.empty() || plain.size() > 2)
        throw UsageError("reg export takes FILE [KEY] [--regedit4]");
    std::string key;
    if (plain.size() == 2)
        key = keyText(parseKey(plain[1]));
    try {
        prefix.registryEditor().exportToHostFile(plain[0], key, format);
    } catch (const platform::RegistryEditorError& e) {
        throw CliError(e.what());
    }
    out << "Exported " << (key.empty() ? std::string("the registry") : key) << " to " << plain[0]
        << "\n";
}

void importFile(wine::WinePrefix& prefix, const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() != 2)
        throw UsageError("reg import takes FILE");
    requireWritable(prefix);
    try {
        prefix.registryEditor().importHostFile(args[1]);
    } catch (const platform::RegistryEditorError& e) {
        throw CliError(e.what());
    }
    saveChanges(prefix);
    out << "Imported " << args[1] << "\n";
}

} // namespace

void runRegCommand(wine::WinePrefix& prefix, const std::vector<std::string>& args,
                   std::ostream& out)
{
    if (args.empty())
        throw UsageError("reg needs a command: query, set, delete, export or import");
    const std::string& command = args[0];
    if (command == "query")
        query(prefix, args, out);
    else if (command == "set")
        set(prefix, args, out);
    else if (command == "delete")
        remove(prefix, args, out);
    else if (command == "export")
        exportFile(prefix, args, out);
    else if (command == "import")
        importFile(prefix, args, out);
    else
        throw UsageError("unknown reg command \"" + command + "\"");
}

} // namespace tw::cli
