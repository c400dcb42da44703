// Lays out the sample release for a demo run:
//   kelvo_sample SAMPLES_DIR DEMO_DIR APP_DIR
// copies the release tree into DEMO_DIR (with its data files) and empties
// DEMO_DIR/zips, remembers the banner as the zip comment in APP_DIR's
// Kelvo32.ini, and writes the job DEMO_DIR/orbit.kvo with DOS paths through
// the drive table the program in APP_DIR uses. Prints the job's DOS path,
// then the comment's, one a line.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

#include "core/context.h"
#include "host/host_config.h"
#include "sample_release.h"
#include "scripts/job_script.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: kelvo_sample SAMPLES_DIR DEMO_DIR APP_DIR\n");
    return 64;
  }
  namespace fs = std::filesystem;
  try {
    kelvo::samples::SampleLayout layout{fs::absolute(argv[1]).string(),
                                        fs::absolute(argv[2]).string()};
    std::string appDir = fs::absolute(argv[3]).string();
    kelvo::host::HostConfig config = kelvo::host::LoadHostConfig(appDir);
    kelvo::host::FileSystem files(config.drives);

    kelvo::samples::PrepareSource(layout);
    std::string comment = kelvo::samples::InstallComment(files, layout, appDir);
    kelvo::JobSettings job = kelvo::samples::SampleJob(files, layout);
    std::string text = kelvo::ScriptText(job, kelvo::SystemClock().Now());
    std::ofstream out(layout.JobFile(), std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw std::runtime_error("can't write '" + layout.JobFile() + "'");
    std::printf("%s\n%s\n", kelvo::samples::DosPath(files, layout.JobFile()).c_str(),
                comment.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kelvo_sample: %s\n", e.what());
    return 1;
  }
  return 0;
}
