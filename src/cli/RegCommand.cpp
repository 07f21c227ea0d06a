#include "CliError.h"
#include "Command.h"
#include "PrefixWrites.h"
#include "ValueText.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"
#include "platform/RegistryEditor.h"
#include "platform/RootKeys.h"
#include "registry/Session.h"

namespace tw::cli {

using namespace tw::win;
using platform::KeyHandle;
using platform::KeyPath;

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

void printValue(std::ostream& out, const std::string& name, DWORD type, const std::string& data)
{
    out << "    " << (name.empty() ? "(Default)" : name) << "    " << valueTypeName(type) << "    "
        << formatValueData(type, data) << "\n";
}

int query(CommandContext& context)
{
    Session& session = context.session;
    const Arguments& args = context.args;
    std::ostream& out = context.out;
    const KeyPath key = parseKey(args.at(0));
    platform::Registry& registry = session.registry();
    KeyHandle handle(registry);
    if (registry.openKey(key.root, key.subKey, KEY_READ, handle.out()) != ERROR_SUCCESS)
        throw CliError("The key " + keyText(key) + " does not exist");

    DWORD type = 0;
    std::string data;
    if (args.count() == 2) {
        if (registry.queryValue(handle.get(), args.at(1), &type, &data) != ERROR_SUCCESS)
            throw CliError("The value \"" + args.at(1) + "\" does not exist in " + keyText(key));
        out << keyText(key) << "\n";
        printValue(out, args.at(1), type, data);
        return 0;
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
    return 0;
}

int set(CommandContext& context)
{
    Session& session = context.session;
    const Arguments& args = context.args;
    std::ostream& out = context.out;
    const KeyPath key = parseKey(args.at(0));
    const std::optional<DWORD> type = writableValueType(args.at(2));
    if (!type)
        throw UsageError("\"" + args.at(2) +
                         "\" is not a value type; use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, "
                         "REG_DWORD, REG_QWORD or REG_BINARY");
    const std::string data = parseValueData(*type, args.at(3));
    requireWritable(session);
    platform::Registry& registry = session.registry();
    KeyHandle handle(registry);
    if (const LONG rc = registry.createKey(key.root, key.subKey, KEY_ALL_ACCESS, handle.out()))
        throw CliError("Cannot open or create " + keyText(key) + ": " + errorText(rc));
    if (const LONG rc = registry.setValue(handle.get(), args.at(1), *type, data))
        throw CliError("Cannot set \"" + args.at(1) + "\" in " + keyText(key) + ": " +
                       errorText(rc));
    saveChanges(session);
    out << "Set " << keyText(key) << " \"" << args.at(1) << "\"\n";
    return 0;
}

int remove(CommandContext& context)
{
    Session& session = context.session;
    const Arguments& args = context.args;
    std::ostream& out = context.out;
    const KeyPath key = parseKey(args.at(0));
    requireWritable(session);
    platform::Registry& registry = session.registry();
    if (args.count() == 2) {
        KeyHandle handle(registry);
        if (registry.openKey(key.root, key.subKey, KEY_ALL_ACCESS, handle.out()) != ERROR_SUCCESS)
            throw CliError("The key " + keyText(key) + " does not exist");
        if (const LONG rc = registry.deleteValue(handle.get(), args.at(1)))
            throw CliError("Cannot delete \"" + args.at(1) + "\" in " + keyText(key) + ": " +
                           errorText(rc));
        saveChanges(session);
        out << "Deleted " << keyText(key) << " \"" << args.at(1) << "\"\n";
        return 0;
    }
    if (key.subKey.empty())
        throw CliError("A root key cannot be deleted");
    if (const LONG rc = platform::deleteKeyTree(registry, key.root, key.subKey))
        throw CliError("Cannot delete " + keyText(key) + ": " + errorText(rc));
    saveChanges(session);
    out << "Deleted " << keyText(key) << "\n";
    return 0;
}

int exportFile(CommandContext& context)
{
    Session& session = context.session;
    const Arguments& args = context.args;
    std::ostream& out = context.out;
    const platform::RegFileFormat format =
        args.has("regedit4") ? platform::RegFileFormat::Ansi : platform::RegFileFormat::Unicode;
    std::string key;
    if (args.count() == 2)
        key = keyText(parseKey(args.at(1)));
    try {
        session.registryEditor().exportToHostFile(args.at(0), key, format);
    } catch (const platform::RegistryEditorError& e) {
        throw CliError(e.what());
    }
    out << "Exported " << (key.empty() ? std::string("the registry") : key) << " to " << args.at(0)
        << "\n";
    return 0;
}

int importFile(CommandContext& context)
{
    Session& session = context.session;
    const Arguments& args = context.args;
    std::ostream& out = context.out;
    requireWritable(session);
    try {
        session.registryEditor().importHostFile(args.at(0));
    } catch (const platform::RegistryEditorError& e) {
        throw CliError(e.what());
    }
    saveChanges(session);
    out << "Imported " << args.at(0) << "\n";
    return 0;
}

} // namespace

std::vector<Command> regCommands()
{
    return {
        {"reg query",
         "KEY [NAME]",
         "show a key's values and subkeys, or one value",
         {},
         1,
         2,
         query},
        changingRegistry(
            {"reg set",
             "KEY NAME TYPE DATA",
             "set a value; TYPE is REG_SZ, REG_EXPAND_SZ,\nREG_MULTI_SZ (items split by \\0), "
             "REG_DWORD,\nREG_QWORD (decimal or 0x...), REG_BINARY (hex bytes)",
             {},
             4,
             4,
             set}),
        changingRegistry({"reg delete",
                          "KEY [NAME]",
                          "delete a value, or a key with its subtree",
                          {},
                          1,
                          2,
                          remove}),
        {"reg export",
         "FILE [KEY]",
         "write a .reg file (the whole registry without KEY)",
         {{"regedit4", ""}},
         1,
         2,
         exportFile},
        changingRegistry(
            {"reg import", "FILE", "import a .reg file, all or nothing", {}, 1, 1, importFile}),
    };
}

} // namespace tw::cli
