#include "gui/models/key_session.h"

#include "key/platform.h"

#include <easylogging++.h>

#include <system_error>

KeySession::KeySession(std::shared_ptr<UsbKey> key) : key(std::move(key)) {}

KeySession::~KeySession() {
  key->request_stop();
  {
    std::lock_guard<std::mutex> lock(mutex);
    closing = true;
    queue.clear();
  }
  if (worker.joinable()) worker.join();
  key->close();
}

bool KeySession::pending_locked(const std::string& tag) const {
  if ((running && running_tag == tag) || delivering.count(tag) > 0) return true;
  for (const Job& job : queue)
    if (job.tag == tag) return true;
  return false;
}

bool KeySession::pending(const std::string& tag) const {
  std::lock_guard<std::mutex> lock(mutex);
  return pending_locked(tag);
}

bool KeySession::post(QObject* owner, Work work, const std::string& tag) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (closing || (!tag.empty() && pending_locked(tag))) return false;
    if (!serving) {
      // The last worker found the queue empty and takes the mutex no more: it is ending, if not gone.
      if (worker.joinable()) worker.join();
      try {
        worker = std::thread([this] { serve(); });
      } catch (const std::system_error& e) {
        LOG(ERROR) << "Cannot start a worker thread: " << e.what();
        return false;
      }
      serving = true;
    }
    queue.push_back(Job{owner, std::move(work), tag});
  }
  return true;
}

bool KeySession::is_key_alive() {
  // Held across the write: the worker cannot start a job meanwhile, and a write is no exchange.
  std::lock_guard<std::mutex> lock(mutex);
  return running || !queue.empty() || key->is_alive();
}

void KeySession::serve() {
  platform::block_async_signals();
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex);
      if (closing || queue.empty()) {
        serving = false;
        return;
      }
      job = std::move(queue.front());
      queue.pop_front();
      running = true;
      running_tag = job.tag;
    }
    std::function<void()> deliver;
    try {
      deliver = job.work(*key);
    } catch (const std::exception& e) {
      LOG(ERROR) << "Worker thread error: " << e.what();
    } catch (...) {
      LOG(ERROR) << "Worker thread error";
    }
    {
      // The job stays pending until its result is delivered: a tick in between would ask again.
      std::lock_guard<std::mutex> lock(mutex);
      if (deliver) {
        delivering.insert(job.tag);
        QMetaObject::invokeMethod(
            &relay,
            [this, tag = job.tag, owner = std::move(job.owner), deliver = std::move(deliver)] {
              {
                std::lock_guard<std::mutex> delivered(mutex);
                delivering.erase(delivering.find(tag));
              }
              if (owner) deliver();
            },
            Qt::QueuedConnection);
      }
      running = false;
      running_tag.clear();
    }
  }
}

void KeySession::touch_asked(std::int64_t step) {
  in_press_mode = true;
  touched_step = step;
}

void KeySession::code_given(std::int64_t step) {
  if (step - touched_step >= 2) in_press_mode = false;
}
