#include "figures.h"

#include <charconv>
#include <istream>
#include <ostream>
#include <system_error>

namespace zanalysis {

namespace {

// Locale-free both ways (the report runs under Qt, which adopts the user's locale), and "nan"
// survives the round trip.
std::string number(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof(text), value, std::chars_format::general, 9);
  return std::string(text, result.ptr);
}

std::string number(int value) {
  char text[16];
  const auto result = std::to_chars(text, text + sizeof(text), value);
  return std::string(text, result.ptr);
}

// Commas and line breaks would split the record.
std::string plain_text(const std::string& text) {
  std::string plain = text;
  for (char& c : plain)
    if (c == ',' || c == '\n' || c == '\r') c = ' ';
  return plain;
}

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

class RecordReader {
 public:
  RecordReader(std::vector<std::string> fields, int line) : fields(std::move(fields)), line(line) {}

  const std::string& kind() const { return fields[0]; }
  std::size_t size() const { return fields.size(); }

  void expect(std::size_t count) const {
    if (fields.size() != count)
      fail("a '" + kind() + "' record has " + std::to_string(count - 1) + " values, this one " +
           std::to_string(fields.size() - 1));
  }

  double real(std::size_t i) const {
    double value = 0.0;
    const std::string& text = fields[i];
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
      fail("'" + text + "' is not a number");
    return value;
  }

  int integer(std::size_t i) const {
    int value = 0;
    const std::string& text = fields[i];
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
      fail("'" + text + "' is not a whole number");
    return value;
  }

  const std::string& text(std::size_t i) const { return fields[i]; }

  [[noreturn]] void fail(const std::string& what) const {
    throw FiguresError("figures line " + std::to_string(line) + ": " + what);
  }

 private:
  std::vector<std::string> fields;
  int line;
};

void read_setting(const RecordReader& record, Figures& figures) {
  record.expect(3);
  const std::string& name = record.text(1);
  if (name == "effect")
    figures.effect = record.text(2);
  else if (name == "gain")
    figures.gain = record.real(2);
  else if (name == "sample_rate")
    figures.sample_rate = record.real(2);
  else if (name == "level_dbfs")
    figures.level_dbfs = record.real(2);
  else if (name == "block_size")
    figures.block_size = record.integer(2);
  else if (name == "transfer_hz")
    figures.transfer_hz = record.real(2);
  else if (name == "harmonic_hz")
    figures.harmonic_hz = record.real(2);
  else if (name == "harmonic_factor")
    figures.harmonic_factor = record.integer(2);
  else if (name == "alias_hz")
    figures.alias_hz = record.real(2);
  else if (name == "reported_delay")
    figures.reported_delay = record.integer(2);
  else
    record.fail("unknown setting '" + name + "'");
}

void read_record(const RecordReader& record, Figures& figures) {
  const std::string& kind = record.kind();
  if (kind == "setting") {
    read_setting(record, figures);
  } else if (kind == "transfer") {
    record.expect(4);
    figures.transfer.push_back({record.integer(1), record.real(2), record.real(3)});
  } else if (kind == "harmonic") {
    record.expect(4);
    figures.harmonics.push_back({record.integer(1), record.real(2), record.real(3)});
  } else if (kind == "distortion") {
    record.expect(3);
    figures.thd_percent = record.real(1);
    figures.thdn_percent = record.real(2);
  } else if (kind == "spectrum") {
    record.expect(3);
    figures.spectrum.push_back({record.real(1), record.real(2)});
  } else if (kind == "aliasing") {
    record.expect(4);
    figures.aliasing.push_back({record.integer(1), record.real(2), record.real(3)});
  } else if (kind == "latency") {
    record.expect(4);
    figures.latency.push_back({record.integer(1), record.real(2), record.real(3)});
  } else if (kind == "correlation") {
    record.expect(4);
    figures.correlation.push_back({record.integer(1), record.integer(2), record.real(3)});
  } else {
    record.fail("unknown record '" + kind + "'");
  }
}

}  // namespace

void write_figures(std::ostream& out, const Figures& figures) {
  out << "record,first,second,third\n";
  out << "setting,effect," << plain_text(figures.effect) << '\n';
  out << "setting,gain," << number(figures.gain) << '\n';
  out << "setting,sample_rate," << number(figures.sample_rate) << '\n';
  out << "setting,level_dbfs," << number(figures.level_dbfs) << '\n';
  out << "setting,block_size," << number(figures.block_size) << '\n';
  out << "setting,transfer_hz," << number(figures.transfer_hz) << '\n';
  out << "setting,harmonic_hz," << number(figures.harmonic_hz) << '\n';
  out << "setting,harmonic_factor," << number(figures.harmonic_factor) << '\n';
  out << "setting,alias_hz," << number(figures.alias_hz) << '\n';
  out << "setting,reported_delay," << number(figures.reported_delay) << '\n';
  for (const auto& p : figures.transfer)
    out << "transfer," << number(p.factor) << ',' << number(p.input_dbfs) << ',' << number(p.output_dbfs) << '\n';
  for (const auto& h : figures.harmonics)
    out << "harmonic," << number(h.order) << ',' << number(h.frequency_hz) << ',' << number(h.level_dbc) << '\n';
  out << "distortion," << number(figures.thd_percent) << ',' << number(figures.thdn_percent) << '\n';
  for (const auto& s : figures.spectrum)
    out << "spectrum," << number(s.frequency_hz) << ',' << number(s.level_dbc) << '\n';
  for (const auto& a : figures.aliasing)
    out << "aliasing," << number(a.factor) << ',' << number(a.non_harmonic_dbc) << ',' << number(a.realtime_factor)
        << '\n';
  for (const auto& l : figures.latency)
    out << "latency," << number(l.factor) << ',' << number(l.measured_samples) << ',' << number(l.peak_correlation)
        << '\n';
  for (const auto& c : figures.correlation)
    out << "correlation," << number(c.factor) << ',' << number(c.lag) << ',' << number(c.value) << '\n';
}

Figures read_figures(std::istream& in) {
  Figures figures;
  std::string line;
  int line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || (line_number == 1 && line.rfind("record,", 0) == 0)) continue;
    read_record(RecordReader(split(line), line_number), figures);
  }
  return figures;
}

}  // namespace zanalysis
