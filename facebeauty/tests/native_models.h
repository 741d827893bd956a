// A model folder for the native engine's face detector: the tiny stand-in networks, enciphered
// by our tool (beside the test program). A bright patch on black is a face with the template's
// landmarks centred on it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "detection_test_net.h"
#include "face_test_nets.h"
#include "test_files.h"

inline bool installModel(const std::vector<uint8_t>& model, const std::string& folder,
                         const std::string& file) {
  const std::string plain = folder + "\\model.onnx";
  WriteFile(plain, model);
  std::string command = "\"" + TestFolder() + "\\zq_model_encipher.exe\" plain \"" + plain +
                        "\" \"" + folder + "\\" + file + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return false;
  }
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  DeleteFileA(plain.c_str());
  return code == 0;
}

// The folder (made once per program, named after it: programs run side by side; empty when a
// model could not be made).
inline const std::string& modelFolder() {
  static const std::string folder = [] {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string program(path);
    program = program.substr(program.find_last_of("\\/") + 1);
    const std::string made = MakeTestFolder("models_" + program.substr(0, program.find('.')));
    const bool ok =
        installModel(zqfd_test::BuildDetectionTestNet({}), made, "FD_J_N_v2.m.bin") &&
        installModel(zqfd_test::BuildLandmarkTestNet({}), made, "FL_D_N_v3_i.m.bin") &&
        installModel(zqfd_test::BuildLandmarkTestNet({}), made, "FL_D_N_v5_v.m.bin");
    return ok ? made : std::string();
  }();
  return folder;
}

// RGBA, black with white square patches of side `side` at the given top-left corners.
inline std::vector<unsigned char> patchFrame(int w, int h, const std::vector<std::pair<int, int>>& at,
                                             int side) {
  std::vector<unsigned char> p(static_cast<size_t>(w) * h * 4, 0);
  for (size_t i = 3; i < p.size(); i += 4) p[i] = 255;
  for (const auto& corner : at) {
    for (int y = corner.second; y < corner.second + side && y < h; ++y) {
      for (int x = corner.first; x < corner.first + side && x < w; ++x) {
        unsigned char* q = &p[(static_cast<size_t>(y) * w + x) * 4];
        q[0] = q[1] = q[2] = 255;
      }
    }
  }
  return p;
}
