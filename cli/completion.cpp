#include "cli/completion.h"

#include <set>

namespace {

// Value kinds named by the option tables' type names.
const std::set<std::string> kFileTypes{"FILE", "PATH", "CSV", "CFG", "PCAP", "HDF5", "JSON", "HTML", "PNG", "SVG"};
const std::set<std::string> kFolderTypes{"DIR", "FOLDER"};

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
    return text;
}

// Option names a shell word may hold, hidden options left out.
std::vector<std::string> namesOf(const CLI::Option* option) {
    std::vector<std::string> names;
    if (option->get_group().empty() || !option->nonpositional()) return names;
    for (const std::string& n : option->get_lnames()) names.push_back("--" + n);
    for (const std::string& n : option->get_snames()) names.push_back("-" + n);
    return names;
}

}  // namespace

std::string bashCompletion(const CLI::App& root, const std::vector<Command>& commands) {
    std::vector<std::string> commandNames;
    for (const Command& c : commands) commandNames.push_back(c.app->get_name());
    std::vector<std::string> rootOptions;
    for (const CLI::Option* option : root.get_options()) {
        for (const std::string& n : namesOf(option)) rootOptions.push_back(n);
    }

    std::string cases;
    for (const Command& c : commands) {
        std::vector<std::string> all, files, folders, values;
        for (const CLI::Option* option : c.app->get_options()) {
            const std::vector<std::string> names = namesOf(option);
            all.insert(all.end(), names.begin(), names.end());
            if (option->get_type_size_max() == 0) continue;  // a flag
            const std::string type = option->get_type_name();
            auto& into = kFileTypes.count(type) ? files : kFolderTypes.count(type) ? folders : values;
            into.insert(into.end(), names.begin(), names.end());
        }
        cases += "    " + c.app->get_name() + ")\n";
        cases += "      opts='" + joined(all) + "'\n";
        cases += "      files=' " + joined(files) + " '\n";
        cases += "      dirs=' " + joined(folders) + " '\n";
        cases += "      values=' " + joined(values) + " '\n";
        cases += std::string("      free=") + (c.takesArguments ? "1" : "0") + "\n      ;;\n";
    }

    return "# bash completion for orvane, written by 'orvane --completion bash'\n"
           "_orvane() {\n"
           "  local cur prev cmd i opts files dirs values free\n"
           "  cur=\"${COMP_WORDS[COMP_CWORD]}\"\n"
           "  prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
           "  cmd=''\n"
           "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "    case \"${COMP_WORDS[i]}\" in -*) ;; *) cmd=\"${COMP_WORDS[i]}\"; break ;; esac\n"
           "  done\n"
           "  if [[ -z $cmd ]]; then\n"
           "    COMPREPLY=($(compgen -W '" + joined(commandNames) + " " + joined(rootOptions) + "' -- \"$cur\"))\n"
           "    return 0\n"
           "  fi\n"
           "  case \"$cmd\" in\n" + cases +
           "    *) return 0 ;;\n"
           "  esac\n"
           "  if [[ $files == *\" $prev \"* ]]; then\n"
           "    compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\")); return 0\n"
           "  fi\n"
           "  if [[ $dirs == *\" $prev \"* ]]; then\n"
           "    compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- \"$cur\")); return 0\n"
           "  fi\n"
           "  [[ $values == *\" $prev \"* ]] && return 0\n"
           "  if [[ $cur == -* || $free == 0 ]]; then\n"
           "    COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\")); return 0\n"
           "  fi\n"
           "  compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "}\n"
           "complete -F _orvane orvane\n";
}
