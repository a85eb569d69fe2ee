// The Windows command-line rules: the quoting that the Microsoft C-runtime parser reads back
// unchanged, that parser itself, written out for the platforms that lack it, and the quoting
// for cmd.exe.
#include "ortolib/platform/command_line.h"

namespace pt {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_lead(const lead_bytes& lead, char c) { return lead[static_cast<unsigned char>(c)]; }

// The lowest second byte of a character in any double-byte code page. A lead byte before a
// lower one (a blank, a quote, %, a line end) forms no character; the system might still take
// that byte into it, so such a lead byte is replaced and the byte keeps its own meaning.
constexpr unsigned char lowest_second_byte = 0x40;
constexpr char lone_lead_replacement = '?';

// True when text[i] is a lead byte with a second byte: the two are one character.
bool is_pair(const lead_bytes& lead, std::string_view text, std::size_t i) {
  return is_lead(lead, text[i]) && i + 1 < text.size() &&
         static_cast<unsigned char>(text[i + 1]) >= lowest_second_byte;
}

bool is_pair(const lead_bytes& lead, const char* p) {
  return is_lead(lead, *p) && static_cast<unsigned char>(p[1]) >= lowest_second_byte;
}

// The program name: quotes toggle and vanish, backslashes are ordinary, a blank outside
// quotes ends it.
const char* split_program_name(const char* p, const lead_bytes& lead, std::string& name) {
  bool in_quotes = false;
  for (; *p != '\0' && (in_quotes || !is_blank(*p)); ++p) {
    if (*p == '"')
      in_quotes = !in_quotes;
    else if (is_pair(lead, p))
      name.append(p++, 2);
    else
      name += *p;
  }
  return p;
}

// One argument after the program name; returns where it ended.
const char* split_argument(const char* p, const lead_bytes& lead, std::string& argument) {
  bool in_quotes = false;
  for (;;) {
    std::size_t backslashes = 0;
    while (*p == '\\') {
      ++p;
      ++backslashes;
    }
    bool copy_char = true;
    if (*p == '"') {
      if (backslashes % 2 == 0) {
        if (in_quotes && p[1] == '"')
          ++p;  // "" inside quotes: one literal quote, still quoted
        else {
          copy_char = false;
          in_quotes = !in_quotes;
        }
      }
      backslashes /= 2;
    }
    argument.append(backslashes, '\\');
    if (*p == '\0' || (!in_quotes && is_blank(*p)))
      return p;
    if (copy_char && is_pair(lead, p))
      argument += *p++;  // the second byte follows below, whatever it is
    if (copy_char)
      argument += *p;
    ++p;
  }
}

void split_arguments(const char* p, const lead_bytes& lead, std::vector<std::string>& arguments) {
  for (;;) {
    while (is_blank(*p))
      ++p;
    if (*p == '\0')
      return;
    p = split_argument(p, lead, arguments.emplace_back());
  }
}

std::string_view cut_at_nul(std::string_view text) { return text.substr(0, text.find('\0')); }

// What takes the place of each % in a batch argument: the % itself, then an expansion of
// nothing that stands between it and any later %, so that cmd.exe never reads a name between
// two percent signs of the argument.
constexpr std::string_view inert_percent = "%%cd:~,%";

// The bytes a batch file's command line cannot carry: cmd.exe drops CR and ends at LF.
bool holds_line_end(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

bool plain_in_batch_name(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || std::string_view("\\/:._-~").find(c) != std::string_view::npos;
}

// The characters cmd.exe reads on a line: a lead byte and its second byte count once.
std::size_t character_count(std::string_view line, const lead_bytes& lead) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < line.size(); ++i, ++count) {
    if (is_pair(lead, line, i))
      ++i;
  }
  return count;
}

}  // namespace

std::string escape_argument(std::string_view argument, const lead_bytes& lead) {
  std::string escaped;
  escaped.reserve(argument.size() + argument.size() / 8 + 2);
  std::size_t i = 0;
  while (i < argument.size()) {
    const char c = argument[i];
    if (is_pair(lead, argument, i)) {
      // One character of two bytes, copied whole: its second byte is never a backslash to the
      // parser.
      escaped.append(argument.substr(i, 2));
      i += 2;
      continue;
    }
    if (is_lead(lead, c)) {
      escaped += lone_lead_replacement;  // or it could take the next byte, or the closing quote
      ++i;
      continue;
    }
    if (c == '\\') {
      // A run of backslashes is an escape to the parser only when a double quote follows it
      // (one of the argument, or the closing quote at the end); only then is each one doubled.
      // The run is handled whole so that a long run costs linear time.
      std::size_t run_end = argument.find_first_not_of('\\', i);
      if (run_end == std::string_view::npos)
        run_end = argument.size();
      const std::size_t run = run_end - i;
      const bool before_quote = run_end == argument.size() || argument[run_end] == '"';
      escaped.append(before_quote ? 2 * run : run, '\\');
      i = run_end;
      continue;
    }
    if (c == '"')
      escaped += '\\';
    escaped += c;
    ++i;
  }
  return escaped;
}

std::string quote_argument(std::string_view argument, const lead_bytes& lead) {
  std::string token = "\"";
  token += escape_argument(cut_at_nul(argument), lead);
  token += '"';
  return token;
}

std::string quote_program_name(std::string_view name) {
  if (name.find_first_of(" \t\"") == std::string_view::npos)
    return std::string(name);
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::vector<std::string> command_line_split(const char* command_line, const lead_bytes& lead) {
  std::vector<std::string> arguments;
  if (command_line == nullptr || *command_line == '\0')
    return arguments;
  split_arguments(split_program_name(command_line, lead, arguments.emplace_back()), lead,
                  arguments);
  return arguments;
}

std::vector<std::string> command_line_split_arguments(const char* arguments,
                                                      const lead_bytes& lead) {
  std::vector<std::string> split;
  if (arguments != nullptr)
    split_arguments(arguments, lead, split);
  return split;
}

bool is_batch_file(std::string_view path) {
  if (!path.starts_with("\\\\?\\")) {
    while (!path.empty() && (path.back() == '.' || path.back() == ' '))
      path.remove_suffix(1);
  }
  if (path.size() < 4)
    return false;
  std::string extension(path.substr(path.size() - 4));
  for (char& c : extension)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension == ".bat" || extension == ".cmd";
}

std::optional<std::string> quote_batch_argument(std::string_view argument, const lead_bytes& lead) {
  argument = cut_at_nul(argument);
  if (holds_line_end(argument))
    return std::nullopt;
  std::string token = "\"";
  std::size_t backslashes = 0;  // the run just copied, doubled when a quote follows it
  for (std::size_t i = 0; i < argument.size(); ++i) {
    if (is_pair(lead, argument, i)) {
      token.append(argument.substr(i++, 2));
      backslashes = 0;
      continue;
    }
    const char c = is_lead(lead, argument[i]) ? lone_lead_replacement : argument[i];
    if (c == '"') {
      token.append(backslashes, '\\');
      token += "\"\"";
    } else if (c == '%') {
      token += inert_percent;
    } else {
      token += c;
    }
    backslashes = c == '\\' ? backslashes + 1 : 0;
  }
  token.append(backslashes, '\\');
  token += '"';
  return token;
}

std::optional<std::string> quote_batch_program_name(std::string_view name, const lead_bytes& lead) {
  if (holds_line_end(name) || name.find('"') != std::string_view::npos)
    return std::nullopt;
  bool plain = true;
  std::string quoted = "\"";
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (is_pair(lead, name, i)) {
      quoted.append(name.substr(i++, 2));
      continue;
    }
    if (is_lead(lead, name[i]))
      return std::nullopt;  // no character of the code page: no file has such a name
    plain = plain && plain_in_batch_name(name[i]);
    if (name[i] == '%')
      quoted += inert_percent;
    else
      quoted += name[i];
  }
  if (plain)
    return std::string(name);
  quoted += '"';
  return quoted;
}

batch_refusal batch_command_line(std::string_view program, const char* arguments,
                                 const lead_bytes& lead, std::string& line,
                                 text_encoding encoding) {
  line.clear();
  std::optional<std::string> name = quote_batch_program_name(program, lead);
  if (!name)
    return batch_refusal::unsafe_text;
  std::string built = std::move(*name);
  for (const std::string& argument : command_line_split_arguments(arguments, lead)) {
    std::optional<std::string> token = quote_batch_argument(argument, lead);
    if (!token)
      return batch_refusal::unsafe_text;
    built += ' ';
    built += *token;
  }
  // The system adds the two quotes around the line that cmd.exe reads.
  const std::size_t characters = encoding == text_encoding::utf8 ? utf16_length(built)
                                                                 : character_count(built, lead);
  if (characters + 2 > batch_line_limit)
    return batch_refusal::too_long;
  line = std::move(built);
  return batch_refusal::none;
}

}  // namespace pt
