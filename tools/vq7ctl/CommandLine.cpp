#include "CommandLine.h"

#include "Commands.h"
#include "GeSource.h"
#include "HelpText.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {
// Above this many milliseconds every silent first answer would hold the
// connection for minutes; larger values are taken as this.
constexpr unsigned long long kMaxAuxTimeoutMs = 10000;

// A decimal number in 1..max, else the message.
CLI::Validator Unsigned(unsigned long long max, std::string what)
{
    return CLI::Validator(
        [max, what](std::string& text) {
            unsigned long long n = 0;
            return ParseUnsigned(text, max, n) && n != 0 ? std::string() : what + ": " + text;
        },
        "");
}

void AddGlobalOptions(CLI::App& app, GlobalOptions& opts)
{
    app.add_option("--config", opts.configFile)->type_name("FILE");
    app.add_option_function<std::string>("--port", [&opts](const std::string& v) { opts.port = v; })
        ->type_name("NAME|TCP/IP");
    app.add_option_function<unsigned>("--speed", [&opts](unsigned v) { opts.speed = v; })
        ->type_name("N")
        ->check(Unsigned(4000000, "not a baud rate"));
    app.add_option_function<std::string>("--ip", [&opts](const std::string& v) { opts.ip = v; })->type_name("ADDR");
    app.add_option_function<std::string>("--tcp-port", [&opts](const std::string& v) { opts.tcpPort = v; })
        ->type_name("N")
        ->check(Unsigned(65535, "not a TCP port"));
    app.add_option_function<int>("--aux-timeout", [&opts](int v) { opts.auxTimeout = v; })
        ->type_name("MS")
        ->transform(CLI::Validator(
            [](std::string& text) {
                unsigned long long n = 0;
                if (!ParseUnsigned(text, ~0ull, n))
                    return "not a number of milliseconds: " + text;
                if (n > kMaxAuxTimeoutMs)
                    text = std::to_string(kMaxAuxTimeoutMs);
                return std::string();
            },
            ""));
    app.add_option("--trace", opts.traceFile)->type_name("FILE");
    app.add_option("--database", opts.database)->type_name("URL|FILE");
    app.add_flag("--json", opts.json)->disable_flag_override();
}

// The command's options go into args.options by name, "" for a flag.
void AddCommandOptions(CLI::App& sub, const CtlCommand& command, CtlArgs& args)
{
    sub.add_option("arguments", args.positional);
    for (const CtlOption& o : command.options) {
        const std::string name = o.name;
        if (!o.value) {
            sub.add_flag_callback("--" + name, [&args, name] { args.options[name] = ""; })->disable_flag_override();
            continue;
        }
        CLI::Option* opt = sub.add_option_function<std::string>(
            "--" + name, [&args, name](const std::string& v) { args.options[name] = v; });
        opt->type_name(o.value);
        if (o.check)
            opt->check(CLI::Validator([check = o.check](std::string& v) { return check(v); }, ""));
    }
}

// What CLI11 found wrong, in the words of this tool. sub and command: the
// command named, if any; group: "param" or "pairs" when only that was given.
std::string ErrorText(const CLI::App& app, const CLI::ParseError& e, const CLI::App* sub, const CtlCommand* command,
                      const std::string& group)
{
    std::string text = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e) && !app.remaining(true).empty()) {
        const std::string word = app.remaining(true).front();   // the first word nobody took
        if (!word.empty() && word[0] == '-')
            text = "unknown option " + word;
        else if (!command)
            return "unknown command: " + (group.empty() ? word : group + " " + word);
        else
            text = "unexpected argument " + word;
        if (!app.remaining(false).empty())   // before the command
            return text;
    } else if (!command && !group.empty()) {
        return "unknown command: " + group;
    } else if (const std::string flag = text.substr(0, text.find(' '));
               text == CLI::ArgumentMismatch::FlagOverride(flag).what()) {
        text = "--" + flag + " takes no value";
    }
    // "--speed: ..." is about an option before the command, "--out: ..." about one of the command.
    const std::string name = text.substr(0, text.find(':'));
    const CLI::Option* option = app.get_option_no_throw(name);
    const bool global = option != nullptr;
    if (!option && sub)
        option = sub->get_option_no_throw(name);
    if (option && text == CLI::ArgumentMismatch::TypedAtLeast(name, 1, option->get_type_name()).what())
        text = name + " needs a value";
    return command && !global ? std::string(command->name) + ": " + text : text;
}
}

std::string CheckFiniteGe(const std::string& value)
{
    double ge = 0;
    return ParseGe(value, ge) && std::isfinite(ge) ? std::string() : "not a finite number: " + value;
}

CtlCommandLine ParseCommandLine(int argc, char** argv, GlobalOptions& opts, CtlArgs& args)
{
    CLI::App app("", "vq7ctl");
    app.set_help_flag();   // the commands take no help flag of their own
    app.formatter(std::make_shared<CHelpFormatter>());
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);   // the last one given counts
    app.require_subcommand(0, 1);
    AddGlobalOptions(app, opts);

    std::map<std::string, CLI::App*> groups;                 // "param" of "param get"
    std::vector<std::pair<CLI::App*, const CtlCommand*>> leaves;
    for (const CtlCommand& c : kCommands) {
        const std::string name = c.name;
        const size_t space = name.find(' ');
        CLI::App* parent = &app;
        if (space != std::string::npos) {
            CLI::App*& group = groups[name.substr(0, space)];
            if (!group) {
                group = app.add_subcommand(name.substr(0, space));
                group->require_subcommand(1, 1);
            }
            parent = group;
        }
        CLI::App* sub = parent->add_subcommand(space == std::string::npos ? name : name.substr(space + 1), c.help);
        AddCommandOptions(*sub, c, args);
        leaves.emplace_back(sub, &c);
    }
    app.set_help_flag("-h,--help", "this text");

    CtlCommandLine result;
    const CLI::App* leaf = nullptr;
    auto named = [&] {
        for (const auto& [sub, command] : leaves)
            if (sub->parsed()) {
                leaf = sub;
                result.command = command;
            }
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        result.outcome = CtlCommandLine::Help;
        return result;
    } catch (const CLI::ParseError& e) {
        named();
        std::string given;
        for (const auto& [word, group] : groups)
            if (group->parsed())
                given = word;
        opts.json = app.get_option("--json")->count() > 0;
        result.error = ErrorText(app, e, leaf, result.command, given);
        return result;
    }
    named();
    if (result.command)
        result.outcome = CtlCommandLine::Run;
    return result;
}
