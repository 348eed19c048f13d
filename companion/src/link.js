'use strict'

const { EventEmitter } = require('node:events')
const WebSocket = require('ws')
const { Backoff } = require('./backoff')
const { commandFrame } = require('./commands')
const { readFrame } = require('./state')

// Companion's status names (InstanceStatus), kept here so that this file needs no Companion.
const STATUS = Object.freeze({
	ok: 'ok',
	connecting: 'connecting',
	failure: 'connection_failure',
	badConfig: 'bad_config',
})

// The control WebSocket of one program, kept open: reconnects with back-off whenever it closes.
// Emits 'status' (status, message), 'state' (the state, or null while not connected) and 'log'
// (level, message).
class ControlLink extends EventEmitter {
	#socket = null
	#retry = null
	#ping = null
	#pending = new Map()
	#lastId = 0
	#stopped = true
	#status = null

	constructor({ host, port, token, backoff = new Backoff(), replyTimeoutMs = 5000, pingMs = 5000 }) {
		super()
		this.host = host
		this.port = port
		this.token = token
		this.backoff = backoff
		this.replyTimeoutMs = replyTimeoutMs
		this.pingMs = pingMs
		this.state = null
	}

	get url() {
		const host = this.host.includes(':') ? `[${this.host}]` : this.host
		return `ws://${host}:${this.port}/ws?t=${encodeURIComponent(this.token)}`
	}

	get status() {
		return this.#status
	}

	start() {
		this.#stopped = false
		this.#open()
	}

	stop() {
		this.#stopped = true
		clearTimeout(this.#retry)
		const socket = this.#socket
		this.#socket = null
		if (socket) {
			this.#closed()
			socket.terminate()
		}
	}

	// Sends one command; resolves with the program's answer { status, reason }. Never rejects:
	// status 0 means the command did not reach the program or was not answered in time, and a
	// command the program could not read is answered 400 here without being sent.
	send(name, value) {
		const id = ++this.#lastId
		let frame
		try {
			frame = commandFrame(name, value, id)
		} catch (error) {
			return Promise.resolve({ status: 400, reason: error.message })
		}
		const socket = this.#socket
		if (!socket || socket.readyState !== WebSocket.OPEN)
			return Promise.resolve({ status: 0, reason: 'not connected to Podium Watch' })
		return new Promise((resolve) => {
			const timer = setTimeout(() => {
				this.#pending.delete(id)
				resolve({ status: 0, reason: `no answer within ${this.replyTimeoutMs / 1000} s` })
			}, this.replyTimeoutMs)
			this.#pending.set(id, { resolve, timer })
			socket.send(frame)
		})
	}

	#setStatus(status, message = null) {
		if (this.#status === status && this.message === message) return
		this.#status = status
		this.message = message
		this.emit('status', status, message)
	}

	#open() {
		// While attempts keep failing the status stays a failure; it says "connecting" only for
		// the first attempt and after an open connection was lost.
		if (this.#status !== STATUS.failure && this.#status !== STATUS.badConfig) this.#setStatus(STATUS.connecting)
		let refusedWith = null
		let lastError = null
		const socket = new WebSocket(this.url, { handshakeTimeout: 5000, perMessageDeflate: false })
		this.#socket = socket
		socket.on('unexpected-response', (request, response) => {
			refusedWith = response.statusCode
			response.resume()
			socket.terminate()
		})
		socket.on('error', (error) => {
			lastError = error
		})
		socket.on('open', () => {
			this.backoff.reset()
			this.#setStatus(STATUS.ok)
			this.#keepAlive(socket)
		})
		socket.on('message', (data) => this.#read(String(data)))
		socket.on('close', () => {
			if (this.#socket !== socket) return
			this.#socket = null
			this.#closed()
			if (this.#stopped) return
			let delay = this.backoff.next()
			if (refusedWith === 403) {
				// A wrong token stays wrong until the configuration changes or the program takes
				// it again (a restart with the same tokens file): ask seldom meanwhile.
				delay = this.backoff.mostMs
				this.#setStatus(STATUS.badConfig, 'Podium Watch refused the control token (403)')
			} else {
				const why = refusedWith ? `answered ${refusedWith}` : lastError?.code || lastError?.message || 'closed'
				this.#setStatus(STATUS.failure, `${why}; trying again in ${delay / 1000} s`)
			}
			this.#retry = setTimeout(() => this.#open(), delay)
		})
	}

	// A program whose machine vanished sends no close: a ping not answered within one interval
	// ends the connection, which then reconnects.
	#keepAlive(socket) {
		let answered = true
		socket.on('pong', () => {
			answered = true
		})
		this.#ping = setInterval(() => {
			if (!answered) {
				this.emit('log', 'warn', 'Podium Watch stopped answering; reconnecting')
				socket.terminate()
				return
			}
			answered = false
			socket.ping()
		}, this.pingMs)
	}

	#closed() {
		clearInterval(this.#ping)
		for (const [id, waiting] of this.#pending) {
			clearTimeout(waiting.timer)
			waiting.resolve({ status: 0, reason: 'the connection closed before the answer' })
			this.#pending.delete(id)
		}
		if (this.state !== null) {
			this.state = null
			this.emit('state', null)
		}
	}

	#read(text) {
		const frame = readFrame(text)
		if (!frame) {
			this.emit('log', 'warn', `unreadable message from Podium Watch: ${text.slice(0, 100)}`)
		} else if (frame.kind === 'reply') {
			const waiting = this.#pending.get(frame.id)
			if (!waiting) return
			this.#pending.delete(frame.id)
			clearTimeout(waiting.timer)
			waiting.resolve({ status: frame.status, reason: frame.reason })
		} else {
			this.state = frame.state
			this.emit('state', frame.state)
		}
	}
}

module.exports = { ControlLink, STATUS }
