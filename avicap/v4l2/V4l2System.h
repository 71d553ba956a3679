#pragma once
// The system calls the V4L2 driver makes, behind one interface so that tests can put a
// simulated camera in place of the kernel. Failures answer -1 (or null) with errno set, as
// the calls themselves do. The real one uses plain system calls: conversion is done by the
// driver itself (V4l2Convert), so nothing in libv4l2 stands between it and the device.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class V4l2System
{
public:
    virtual ~V4l2System() = default;
    // Paths of the /dev/video<N> nodes present now, in any order.
    virtual std::vector<std::string> videoNodes() = 0;
    // Opened read-write and non-blocking.
    virtual int open(const std::string& path) = 0;
    virtual int close(int fd) = 0;
    // Retries on EINTR.
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    // A shared read-write mapping of a buffer; null on failure.
    virtual void* mmap(size_t length, int fd, int64_t offset) = 0;
    virtual int munmap(void* address, size_t length) = 0;
    // Waits for input on fd; answers the poll result and sets revents.
    virtual int poll(int fd, int timeoutMs, short& revents) = 0;
    // The kernel's name for the camera behind a node that may not be opened, so that it can
    // still be listed; empty when unknown or when the node is not a camera's first.
    virtual std::string nodeName(const std::string& path) { (void)path; return {}; }
};

std::shared_ptr<V4l2System> realV4l2System();
