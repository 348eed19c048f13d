'use strict'

// Waits between attempts to reach the program: short at first, so that a restarted program is
// found again at once, doubling up to a ceiling, so that a program that is away for a while is
// not asked many times a second.
class Backoff {
	constructor(firstMs = 500, mostMs = 10000) {
		this.firstMs = firstMs
		this.mostMs = mostMs
		this.reset()
	}

	next() {
		const delay = this.delayMs
		this.delayMs = Math.min(this.delayMs * 2, this.mostMs)
		return delay
	}

	reset() {
		this.delayMs = this.firstMs
	}
}

module.exports = { Backoff }
