// A library named OrvimSDK.dll that has ReleaseRTService but no CreateRTService.
extern "C" __declspec(dllexport) void ReleaseRTService(void*) {}
