#pragma once

#include "key/usbkey.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

// The key in use, owned for as long as the session is open, and the one thread that talks to it.
//
// Threads: the session is made, used and destroyed on the GUI thread. post() queues a job and
// returns at once; the worker runs the jobs one at a time, in the order they were posted. The
// worker is started by the first job and ends when none is left: a key that is only asked once a
// step, or not at all while another key is shown, keeps no thread in between. A job's
// work runs on the worker with the key, and returns what to do with its result: that runs on the
// thread of the job's owner, through its event loop, and is dropped if the owner is gone by then.
// The GUI thread never waits for an exchange with the key.
class KeySession {
 public:
  // Runs on the worker with the key; returns the delivery of its result to the owner, or an
  // empty function for none. It must not touch the owner: the owner may be gone.
  using Work = std::function<std::function<void()>(UsbKey& key)>;

  explicit KeySession(std::shared_ptr<UsbKey> key);
  // Stops the running exchange at its next packet, drops the jobs still queued, waits for the
  // worker to end, then closes the key.
  ~KeySession();
  KeySession(const KeySession&) = delete;
  KeySession& operator=(const KeySession&) = delete;

  // Queues work for owner. A job with a tag is not queued while another job of the same tag is
  // queued or running: post returns false then, and also when the worker could not be started.
  bool post(QObject* owner, Work work, const std::string& tag = {});
  // Whether a job of tag is queued or running, or its result not yet delivered.
  bool pending(const std::string& tag) const;
  // True while the key still accepts a write, and while a job is queued or running (a job reports
  // a lost key itself). Never waits for an exchange.
  bool is_key_alive();

  // What the models have learnt of the key's press mode, on the GUI thread: nothing is asked of
  // a key in press mode that the user did not ask for, as it would wait for a touch. The key
  // asked for a touch during step:
  void touch_asked(std::int64_t step);
  // It gave a code of step without asking for one. A touch counts for a few seconds, so a touch
  // near a step's end still covers the next step's first code: only a code two steps after the
  // last touch asked for tells that press mode is off.
  void code_given(std::int64_t step);
  // The user switched press mode on or off during step, and the key took it.
  void press_mode_switched(bool on, std::int64_t step) {
    if (on) return touch_asked(step);
    in_press_mode = false;
  }
  bool get_in_press_mode() const { return in_press_mode; }

 private:
  struct Job {
    QPointer<QObject> owner;  // read on the GUI thread only
    Work work;
    std::string tag;
  };
  void serve();
  bool pending_locked(const std::string& tag) const;

  std::shared_ptr<UsbKey> key;
  bool in_press_mode = false;       // GUI thread only, as the two below
  std::int64_t touched_step = -2;   // the last step in which the key asked for a touch
  // Lives on the GUI thread; the results travel through its event queue, which goes with it.
  QObject relay;
  mutable std::mutex mutex;  // guards the members below; never held during an exchange
  std::deque<Job> queue;
  std::string running_tag;
  std::multiset<std::string> delivering;  // tags of results on their way to the GUI thread
  bool running = false;
  bool closing = false;
  bool serving = false;  // the worker takes jobs; once false, it has ended or is ending
  std::thread worker;
};
