#pragma once

// Objective-C++ only: included by the .mm files of the macOS backend.

#import <Foundation/Foundation.h>

#include <functional>

// The target of a target/selector registration (a repeating NSTimer, a notification
// observer): each -call: runs its callback in an autorelease pool of its own. Target/selector
// registrations exist on every supported system and offer every option: block-based timers
// need macOS 10.12, above the x86_64 minimum of 10.10, and the block-based notification
// registration has no suspension behaviour of its own. Defined in run_loop.mm.
@interface QuenCallbackTarget : NSObject
- (instancetype)initWithCallback:(std::function<void()>)callback;
- (void)call:(id)sender;  // the timer or the notification, not used
@end
