// The entry point, run for real in small separate programs (one application
// object, or none, per program), plus the message loop and the mutex.
#include "toolkit/Application.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// The directory of this test program, where the entry programs are built.
std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string full(path, length);
    size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
}

struct ProgramRun {
    bool started = false;
    bool finished = false;
    DWORD exitCode = 0;
    std::vector<std::string> log;
};

// Starts `program` with `arguments`, waits (with a deadline) for it to end and
// collects what it logged.
ProgramRun RunProgram(const std::string& program, const std::string& arguments) {
    ProgramRun run;
    char tempDir[MAX_PATH] = {};
    char logPath[MAX_PATH] = {};
    GetTempPathA(sizeof tempDir, tempDir);
    GetTempFileNameA(tempDir, "rdz", 0, logPath);
    SetEnvironmentVariableA("RDZ_ENTRY_LOG", logPath);

    std::string path = ProgramDirectory() + program;
    std::string commandLine = "\"" + path + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    run.started = CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process) != FALSE;
    SetEnvironmentVariableA("RDZ_ENTRY_LOG", nullptr);
    if (run.started) {
        run.finished = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
        if (!run.finished) TerminateProcess(process.hProcess, 99);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    std::ifstream file(logPath, std::ios::binary);
    for (std::string line; std::getline(file, line);) run.log.push_back(line);
    file.close();
    DeleteFileA(logPath);
    return run;
}

TEST(EntryPointTest, ProgramWithoutApplicationShowsOneErrorBoxAndExitsWithZero) {
    ProgramRun run = RunProgram("toolkit_entry_no_application.exe", "");
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(run.log.size(), 1u);
    EXPECT_EQ(run.log[0], "box|none|QXKIT_ERROR|アプリケーションが登録されていません。|" + std::to_string(MB_OK));
}

TEST(EntryPointTest, FailedInitInstanceExitsWithZeroWithoutRun) {
    ProgramRun run = RunProgram("toolkit_entry_init_fails.exe", "");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.log, std::vector<std::string>{"init"});
}

TEST(EntryPointTest, ApplicationWithoutRunExitsWithZeroAfterInitInstance) {
    ProgramRun run = RunProgram("toolkit_entry_without_run.exe", "");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.log, std::vector<std::string>{"init"});
}

TEST(EntryPointTest, ApplicationGetsItsArgumentsAndRunsTheLoopToTheEnd) {
    ProgramRun run = RunProgram("toolkit_entry_runs_loop.exe", "/x abc");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 51u);  // whatever Run returns
    EXPECT_EQ(run.log, (std::vector<std::string>{"instance|own", "class|registered", "cmdline|/x abc",
                                                 "application|this", "loop|0"}));
}

// ---------------------------------------------------------------------------

int g_timerCalls = 0;

void CALLBACK QuitFromTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ++g_timerCalls;
    KillTimer(nullptr, id);
    PostQuitMessage(9);
}

TEST(MessageLoopTest, EndsOnQuitWithItsCodeAfterDispatchingWhatCameBefore) {
    g_timerCalls = 0;
    ASSERT_TRUE(SetTimer(nullptr, 0, 1, &QuitFromTimer));
    EXPECT_EQ(RunMessageLoop(), 9);
    EXPECT_EQ(g_timerCalls, 1);
}

TEST(MessageLoopTest, HolderKeepsTheLastMessageReadable) {
    PostThreadMessageA(GetCurrentThreadId(), WM_APP + 3, 11, 22);
    MessageHolder holder;
    EXPECT_EQ(holder.Message().message, 0u);
    ASSERT_GT(holder.Get(nullptr, 0, 0), 0);
    EXPECT_EQ(holder.Message().message, static_cast<UINT>(WM_APP + 3));
    EXPECT_EQ(holder.Message().wParam, 11u);
    EXPECT_EQ(holder.Message().lParam, 22);
}

// ---------------------------------------------------------------------------

TEST(MutexTest, SecondCreatorOfANameSeesItExistsAndDestroyingReleasesOwnership) {
    const char* name = "RdzToolkitTestMutex";
    auto owner = std::make_unique<Mutex>();
    ASSERT_TRUE(owner->Create(nullptr, TRUE, name));
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    // Another thread (as another process would) opens the same name: a valid
    // handle, "already exists", and no ownership while the first holds it.
    std::atomic<DWORD> existed{0};
    std::atomic<DWORD> waitWhileOwned{0};
    std::atomic<DWORD> waitAfterRelease{0};
    std::atomic<bool> tried{false};
    std::atomic<bool> released{false};
    std::thread other([&] {
        Mutex second;
        HANDLE handle = second.Create(nullptr, FALSE, name);
        existed = GetLastError();
        if (handle) waitWhileOwned = WaitForSingleObject(handle, 0);
        tried = true;
        if (!handle) return;
        while (!released) Sleep(1);
        waitAfterRelease = WaitForSingleObject(handle, 10000);
        // `second` now owns it; its destructor releases and closes.
    });
    // Let the other thread try while we own it, then release by destroying.
    while (!tried) Sleep(1);
    owner.reset();
    released = true;
    other.join();

    EXPECT_EQ(existed, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(waitWhileOwned, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(waitAfterRelease, static_cast<DWORD>(WAIT_OBJECT_0));  // released, not abandoned
}

TEST(MutexTest, DestroyingAMutexNotOwnedClosesItHarmlessly) {
    const char* name = "RdzToolkitTestMutexNotOwned";
    Mutex first;
    ASSERT_TRUE(first.Create(nullptr, FALSE, name));
    HANDLE secondHandle = nullptr;
    {
        Mutex second;
        secondHandle = second.Create(nullptr, FALSE, name);
        ASSERT_TRUE(secondHandle);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        // Its destructor releases a mutex it does not own (which fails) and
        // closes the handle.
    }
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(secondHandle, &flags));  // closed
    EXPECT_EQ(WaitForSingleObject(first.Handle(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ReleaseMutex(first.Handle());

    Mutex third;  // Close on its own: the handle goes, the destructor has nothing left
    ASSERT_TRUE(third.Create(nullptr, FALSE, name));
    EXPECT_TRUE(third.Close());
    EXPECT_EQ(third.Handle(), nullptr);
}

}  // namespace
