// CUPS through libcups on a connection of our own, opened with a timeout,
// so that a machine without a scheduler answers "no printers" at once
// instead of waiting on the library's default connection.
#include "host/print/PrintCups.h"

#include <cups/cups.h>

#include <string>

namespace print_internal {
namespace {

constexpr int kConnectTimeoutMs = 3000;

// A connection to the scheduler, closed with the holder.
class Scheduler {
 public:
  Scheduler()
      : http_(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                           kConnectTimeoutMs, nullptr)) {}
  ~Scheduler() { if (http_) httpClose(http_); }
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;
  http_t* get() const { return http_; }

 private:
  http_t* http_;
};

// The destinations of a connection, freed with the holder.
class Destinations {
 public:
  explicit Destinations(http_t* http) : count_(cupsGetDests2(http, &dests_)) {}
  ~Destinations() { cupsFreeDests(count_, dests_); }
  Destinations(const Destinations&) = delete;
  Destinations& operator=(const Destinations&) = delete;
  int count() const { return count_; }
  cups_dest_t* at(int i) const { return &dests_[i]; }
  // `name` is "queue" or "queue/instance"; nullptr when there is none.
  cups_dest_t* Find(std::string_view name) const {
    const std::string full(name);
    const size_t slash = full.find('/');
    const std::string queue = full.substr(0, slash);
    const std::string instance = slash == std::string::npos ? "" : full.substr(slash + 1);
    return cupsGetDest(queue.c_str(), instance.empty() ? nullptr : instance.c_str(), count_,
                       dests_);
  }

 private:
  cups_dest_t* dests_ = nullptr;
  int count_;
};

std::string NameOf(const cups_dest_t& dest) {
  std::string name = dest.name;
  if (dest.instance) name += std::string("/") + dest.instance;
  return name;
}

// Options of a job, freed with the holder.
class JobOptions {
 public:
  ~JobOptions() { cupsFreeOptions(count_, options_); }
  void Add(const char* name, const std::string& value) {
    count_ = cupsAddOption(name, value.c_str(), count_, &options_);
  }
  int count() const { return count_; }
  cups_option_t* get() const { return options_; }

 private:
  int count_ = 0;
  cups_option_t* options_ = nullptr;
};

}  // namespace

CupsDestinations CupsListDestinations() {
  CupsDestinations found;
  Scheduler scheduler;
  if (!scheduler.get()) return found;
  found.reachable = true;
  Destinations dests(scheduler.get());
  for (int i = 0; i < dests.count(); ++i) {
    found.names.push_back(NameOf(*dests.at(i)));
    if (dests.at(i)->is_default) found.defaultName = found.names.back();
  }
  return found;
}

bool CupsSendPdf(std::string_view destination, std::string_view title, const std::string& pdf,
                 int copies, std::string* error) {
  auto fail = [&](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  Scheduler scheduler;
  if (!scheduler.get()) return fail("no printing scheduler can be reached");
  Destinations dests(scheduler.get());
  cups_dest_t* dest = dests.Find(destination);
  if (!dest) return fail("the printer \"" + std::string(destination) + "\" does not exist");

  // An instance's saved options come first; the job's copies replace theirs.
  JobOptions options;
  for (int i = 0; i < dest->num_options; ++i)
    options.Add(dest->options[i].name, dest->options[i].value);
  options.Add("copies", std::to_string(copies));

  const std::string name(title);
  const int job = cupsCreateJob(scheduler.get(), dest->name, name.c_str(), options.count(),
                                options.get());
  if (job <= 0) return fail(cupsLastErrorString());
  auto cancel = [&](std::string why) {
    cupsCancelJob2(scheduler.get(), dest->name, job, 0);
    return fail(std::move(why));
  };
  if (cupsStartDocument(scheduler.get(), dest->name, job, name.c_str(), CUPS_FORMAT_PDF, 1) !=
      HTTP_STATUS_CONTINUE)
    return cancel(cupsLastErrorString());
  if (cupsWriteRequestData(scheduler.get(), pdf.data(), pdf.size()) != HTTP_STATUS_CONTINUE)
    return cancel(cupsLastErrorString());
  if (cupsFinishDocument(scheduler.get(), dest->name) > IPP_STATUS_OK_EVENTS_COMPLETE)
    return cancel(cupsLastErrorString());
  return true;
}

}  // namespace print_internal
