#include "run/zip_component.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "host/dospath.h"
#include "host/host_error.h"
#include "host/text_file.h"

namespace kelvo {

namespace {

// A symbolic link whose file lies outside `hostDir`; a link that resolves
// to nothing counts as outside too. Ordinary files are never outside.
bool LeadsOutside(const std::string& hostDir, const std::string& hostPath) {
  struct stat st;
  if (::lstat(hostPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  std::unique_ptr<char, decltype(&std::free)> dir(::realpath(hostDir.c_str(), nullptr), std::free);
  std::unique_ptr<char, decltype(&std::free)> file(::realpath(hostPath.c_str(), nullptr),
                                                   std::free);
  if (!dir || !file) return true;
  const std::string base = std::string(dir.get()) == "/" ? "/" : std::string(dir.get()) + "/";
  return !std::string(file.get()).starts_with(base);
}

std::string Message(std::string_view verb, std::string_view object, std::string_view reason) {
  return zip::Message(verb, object, reason);
}

std::int16_t Code(zip::Fault fault) {
  using namespace zip_result;
  switch (fault) {
    case zip::Fault::kBadRequest:
      return kBadRequest;
    case zip::Fault::kInput:
      return kFileNotFound;
    case zip::Fault::kNotAZip:
      return kNotAZip;
    case zip::Fault::kWrite:
      return kWriteFailed;
    case zip::Fault::kAborted:
      return kAborted;
    case zip::Fault::kCheck:
      return kCheckFailed;
  }
  return kWriteFailed;
}

std::string HostName(const std::string& hostPath) {
  return hostPath.substr(hostPath.find_last_of('/') + 1);
}

}  // namespace

struct ZipComponent::Pending {
  std::string zipDos;   // absolute DOS path with ".zip"
  std::string zipHost;  // host path
  std::vector<zip::Input> inputs;
};

ZipComponent::ZipComponent(host::FileSystem& fs) : fs_(fs) {}

ZipComponent::~ZipComponent() = default;

std::int16_t ZipComponent::Fail(std::int16_t code, std::string message) {
  lastError_ = std::move(message);
  return code;
}

std::int16_t ZipComponent::Fail(const zip::Error& error) {
  return Fail(Code(error.fault), error.message);
}

void ZipComponent::DropPending() {
  pending_.reset();
}

void ZipComponent::RaiseStatus(std::uint64_t done, std::uint64_t total) {
  // An empty zip is at 0% when it begins and 100% when it is done.
  auto percent =
      static_cast<std::int16_t>(total == 0 ? (lastPercent_ < 0 ? 0 : 100) : done * 100 / total);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  if (Status) Status(percent);
}

ZipBatch ZipComponent::BeginBatch() {
  if (writing_) throw std::logic_error("zip batch begun while a zip is written");
  DropPending();
  batchOpen_ = true;
  batchFailure_ = 0;
  return ZipBatch(*this, ++batchId_);
}

std::int16_t ZipComponent::Add(std::int16_t options) {
  using namespace zip_result;
  // An add from inside ProcessEvents would pull the files from under the
  // running one.
  if (writing_) return kBadRequest;
  if (batchOpen_ && batchFailure_) return batchFailure_;
  lastError_.clear();
  std::int16_t result = kOk;
  if (options != 0) {
    result =
        Fail(kBadRequest, Message("add with option", std::to_string(options), "only 0 is known"));
  } else if (AbortRequest) {
    AbortRequest = false;
    result = Fail(kAborted, Message("add to", ZipFile + ".zip", "aborted"));
  } else {
    result = Collect();
  }
  if (batchOpen_) {
    if (result != kOk) {
      batchFailure_ = result;
      DropPending();
    }
    return result;
  }
  // The files of this add go whatever happens, an exception from an event
  // handler included: left behind, they would join the next add.
  struct Drop {
    ZipComponent& zip;
    ~Drop() { zip.DropPending(); }
  } drop{*this};
  if (result == kOk) result = Write();
  return result;
}

// The files `named` stand for: each name, or the ordinary files matching a
// DOS pattern in its last component, leaving out links that lead outside
// the pattern's directory.
std::int16_t ZipComponent::FindFiles(const std::vector<std::string>& named,
                                     std::vector<std::string>& files) {
  using namespace zip_result;
  for (const auto& name : named) {
    std::string abs = fs_.Absolute(name);
    if (!dos::HasWildcard(dos::FileNamePart(abs))) {
      files.push_back(abs);
      continue;
    }
    std::string dir = dos::Parent(abs);
    if (!fs_.IsDirectory(dir))
      return Fail(kFileNotFound, Message("find", dir, "No such directory"));
    std::vector<std::string> names;
    try {
      names = fs_.ListFiles(abs);
    } catch (const host::HostError& e) {
      return Fail(kFileNotFound, e.what());
    }
    if (names.empty()) return Fail(kFileNotFound, Message("find", abs, "no file matches"));
    const auto hostDir = fs_.HostPath(dir);
    for (const auto& match : names) {
      const std::string path = dos::Join(dir, match);
      if (hostDir && LeadsOutside(*hostDir, *hostDir + "/" + match)) {
        if (Warning) Warning("left out " + path + ": a link to a file outside " + dir);
        continue;
      }
      files.push_back(path);
    }
  }
  return kOk;
}

std::int16_t ZipComponent::Collect() {
  using namespace zip_result;
  if (CompressionLevel < 0 || CompressionLevel > 9)
    return Fail(kBadRequest, Message("use compression level", std::to_string(CompressionLevel),
                                     "levels are 0 to 9"));
  if (ZipFile.empty()) return Fail(kBadRequest, Message("add to", "", "no zip file named"));
  // One name per line; empty lines name nothing.
  std::vector<std::string> named = host::SplitLines(FilesToAdd);
  std::erase(named, std::string());
  if (named.empty()) return Fail(kBadRequest, Message("add to", ZipFile + ".zip", "no file named"));

  std::string zipDos = fs_.Absolute(ZipFile) + ".zip";
  auto zipHost = fs_.HostPath(zipDos);
  if (!zipHost) return Fail(kWriteFailed, Message("create", zipDos, "drive not mapped"));
  if (!pending_) {
    pending_ = std::make_unique<Pending>();
    pending_->zipDos = zipDos;
    pending_->zipHost = *zipHost;
  } else if (pending_->zipHost != *zipHost && !dos::EqualNoCase(pending_->zipDos, zipDos)) {
    return Fail(kOtherZip, Message("add to", zipDos, "the batch is for " + pending_->zipDos));
  }

  // Every file is found and taken before anything is written.
  std::vector<std::string> files;
  if (auto r = FindFiles(named, files)) return r;
  std::vector<zip::Input> inputs;
  for (const auto& dosPath : files) {
    auto host = fs_.HostPath(dosPath);
    if (!host) return Fail(kFileNotFound, Message("open", dosPath, "drive not mapped"));
    auto input = zip::TakeFile(*host, HostName(*host), dosPath, CompressionLevel);
    if (!input) return Fail(*input.error);
    inputs.push_back(std::move(input.value));
  }

  // A later file of the same name takes the earlier one's place, in this add
  // as in the zip.
  for (auto& input : inputs) {
    auto same =
        std::find_if(pending_->inputs.begin(), pending_->inputs.end(),
                     [&](const zip::Input& p) { return dos::EqualNoCase(p.name, input.name); });
    if (same != pending_->inputs.end())
      *same = std::move(input);
    else
      pending_->inputs.push_back(std::move(input));
  }
  return kOk;
}

std::int16_t ZipComponent::Write() {
  using namespace zip_result;
  if (!pending_ || pending_->inputs.empty()) return kOk;
  zip::Events events;
  events.adding = [this](const std::string& name) {
    if (Adding) Adding(name);
  };
  events.progress = [this](std::uint64_t done, std::uint64_t total) { RaiseStatus(done, total); };
  events.tick = [this] {
    if (ProcessEvents) ProcessEvents();
  };
  events.stop = [this] { return AbortRequest; };
  lastPercent_ = -1;
  writing_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{writing_};
  auto written = writer_.Write({pending_->zipHost, pending_->zipDos}, pending_->inputs, events);
  if (!written) {
    if (written.error->fault == zip::Fault::kAborted) AbortRequest = false;
    return Fail(*written.error);
  }
  chunkZip_ = pending_->zipHost;
  chunks_ = std::move(written.value);
  return kOk;
}

std::int16_t ZipComponent::Check(const std::string& zipFile, const std::string& file,
                                 ZipCheck& check) {
  lastError_.clear();
  const std::string zipDos = fs_.Absolute(zipFile) + ".zip";
  auto zipHost = fs_.HostPath(zipDos);
  auto fileHost = fs_.HostPath(fs_.Absolute(file));
  if (!zipHost || !fileHost)
    return Fail(zip_result::kCheckFailed, Message("check", zipDos, "drive not mapped"));
  if (Checking) Checking(*zipHost);
  const zip::ChunkMap* chunks = *zipHost == chunkZip_ ? &chunks_ : nullptr;
  auto sum = checker_.Check({*zipHost, zipDos}, {HostName(*fileHost), *fileHost}, chunks);
  if (!sum) return Fail(*sum.error);
  check.fileName = HostName(*zipHost);
  check.crc = sum.value.crc;
  check.bytes = sum.value.bytes;
  return zip_result::kOk;
}

ZipBatch::ZipBatch(ZipBatch&& other) noexcept
    : zip_(other.zip_), id_(other.id_), committed_(other.committed_), result_(other.result_) {
  other.zip_ = nullptr;
}

bool ZipBatch::Current() const {
  return zip_ && zip_->batchOpen_ && zip_->batchId_ == id_;
}

ZipBatch::~ZipBatch() {
  if (!Current()) return;
  zip_->batchOpen_ = false;
  zip_->DropPending();
}

std::int16_t ZipBatch::Commit() {
  if (committed_) return result_;
  if (zip_ && zip_->writing_) return zip_result::kBadRequest;
  if (!Current()) {
    // A newer batch dropped these steps.
    return zip_ ? zip_->Fail(zip_result::kBadRequest,
                             Message("commit", "zip batch", "a newer batch replaced it"))
                : zip_result::kBadRequest;
  }
  committed_ = true;
  result_ = zip_result::kWriteFailed;
  ZipComponent& zip = *zip_;
  zip.batchOpen_ = false;
  std::int16_t result = zip.batchFailure_;
  if (result == zip_result::kOk) {
    try {
      result = zip.Write();
    } catch (...) {
      zip.DropPending();
      throw;
    }
  }
  zip.DropPending();
  result_ = result;
  return result;
}

}  // namespace kelvo
