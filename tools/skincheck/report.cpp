#include "tools/skincheck/report.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace {

const char* nameOf(Severity severity) { return severity == Severity::Error ? "error" : "warning"; }

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : ", ") + word;
  return text.empty() ? "none" : text;
}

// A JSON string: quotes, backslashes and control characters escaped.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string jsonList(const std::vector<std::string>& words) {
  std::string out = "[";
  for (const std::string& word : words) out += (out.size() > 1 ? ", " : "") + quoted(word);
  return out + "]";
}

}  // namespace

void Report::add(Severity severity, SourcePosition position, std::string text) {
  findings.push_back({severity, position, std::move(text)});
}

void Report::sort() {
  auto key = [](const Finding& f) { return std::tie(f.position.line, f.position.column, f.severity, f.text); };
  std::stable_sort(findings.begin(), findings.end(),
                   [&](const Finding& a, const Finding& b) { return key(a) < key(b); });
  findings.erase(std::unique(findings.begin(), findings.end(),
                             [&](const Finding& a, const Finding& b) { return key(a) == key(b); }),
                 findings.end());
}

int Report::count(Severity severity) const {
  return static_cast<int>(
      std::count_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.severity == severity; }));
}

std::string textOf(const Report& report) {
  std::string out;
  for (const Finding& f : report.findings) {
    std::string place = f.position.line > 0
                            ? ":" + std::to_string(f.position.line) + ":" + std::to_string(f.position.column)
                            : std::string();
    out += report.file + place + ": " + nameOf(f.severity) + ": " + f.text + "\n";
  }
  if (report.loaded) {
    out += report.file + ": " + std::to_string(report.width) + " x " + std::to_string(report.height) +
           "; agreed ids present: " + joined(report.idsPresent) + "; missing: " + joined(report.idsMissing) + "\n";
  }
  out += report.file + ": " + std::to_string(report.count(Severity::Error)) + " errors, " +
         std::to_string(report.count(Severity::Warning)) + " warnings\n";
  return out;
}

std::string jsonOf(const Report& report) {
  std::string out = "{\n  \"file\": " + quoted(report.file) + ",\n";
  out += "  \"loaded\": " + std::string(report.loaded ? "true" : "false") + ",\n";
  out += "  \"width\": " + std::to_string(report.width) + ",\n  \"height\": " + std::to_string(report.height) + ",\n";
  out += "  \"idsPresent\": " + jsonList(report.idsPresent) + ",\n";
  out += "  \"idsMissing\": " + jsonList(report.idsMissing) + ",\n";
  out += "  \"errors\": " + std::to_string(report.count(Severity::Error)) + ",\n";
  out += "  \"warnings\": " + std::to_string(report.count(Severity::Warning)) + ",\n";
  out += "  \"findings\": [";
  for (std::size_t i = 0; i < report.findings.size(); ++i) {
    const Finding& f = report.findings[i];
    out += std::string(i ? "," : "") + "\n    {\"line\": " + std::to_string(f.position.line) +
           ", \"column\": " + std::to_string(f.position.column) + ", \"severity\": \"" + nameOf(f.severity) +
           "\", \"text\": " + quoted(f.text) + "}";
  }
  out += report.findings.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}
