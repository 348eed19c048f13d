'use strict'

// Podium Watch for the tests: started offscreen on the loopback, with its settings in a folder of
// the test's own; and a stand-in for Companion's InstanceBase that keeps what the module told it.

const { spawn } = require('node:child_process')
const fs = require('node:fs')
const net = require('node:net')
const os = require('node:os')
const path = require('node:path')

const executable = process.env.PODIUMWATCH || path.resolve(__dirname, '../../build/ci/podiumwatch')

// Polls until `condition` holds, or throws after `ms` saying what was waited for.
async function until(condition, ms, what) {
	const deadline = Date.now() + ms
	while (!condition()) {
		if (Date.now() > deadline) throw new Error(`waited ${ms} ms for ${typeof what === 'function' ? what() : what}`)
		await new Promise((resolve) => setTimeout(resolve, 20))
	}
}

function freePort() {
	return new Promise((resolve, reject) => {
		const server = net.createServer().once('error', reject)
		server.listen(0, '127.0.0.1', () => {
			const { port } = server.address()
			server.close(() => resolve(port))
		})
	})
}

const scratchFolder = () => fs.mkdtempSync(path.join(os.tmpdir(), 'podiumwatch-companion-'))

// Resolves once the program has printed its control address: { token, stop(signal) }.
async function startProgram(folder, port, args = []) {
	const child = spawn(executable, [`--remote=${port}`, '--remote-bind=127.0.0.1', ...args], {
		cwd: folder,
		env: { ...process.env, QT_QPA_PLATFORM: 'offscreen', XDG_CONFIG_HOME: path.join(folder, 'config'), XDG_RUNTIME_DIR: folder },
		stdio: ['ignore', 'pipe', 'pipe'],
	})
	let output = ''
	child.stdout.on('data', (data) => (output += data))
	child.stderr.on('data', (data) => (output += data))
	const exited = new Promise((resolve) => child.once('exit', resolve))
	const stop = async (signal = 'SIGTERM') => {
		if (child.exitCode === null && child.signalCode === null) child.kill(signal)
		const timer = setTimeout(() => child.kill('SIGKILL'), 5000)
		await exited
		clearTimeout(timer)
	}
	const address = () => /^remote control: http:\/\/127\.0\.0\.1:(\d+)\/control\?t=(\S+)$/m.exec(output)
	// A program whose server could not start goes on without it.
	const failed = () => child.exitCode !== null || /remote view could not start/.test(output)
	await until(() => address() || failed(), 30000, () => `the control address; the program said:\n${output}`)
	if (!address()) {
		await stop()
		throw new Error(`Podium Watch gave no control address:\n${output}`)
	}
	return { token: address()[2], stop }
}

function fakeHost() {
	return {
		label: 'podiumwatch',
		values: {},
		statuses: [],
		logs: [],
		get status() {
			return this.statuses.at(-1)?.status
		},
		setVariableValues(values) {
			Object.assign(this.values, values)
		},
		setActionDefinitions(actions) {
			this.actions = actions
		},
		setFeedbackDefinitions(feedbacks) {
			this.feedbacks = feedbacks
		},
		setVariableDefinitions() {},
		setPresetDefinitions() {},
		checkFeedbacks() {},
		updateStatus(status, message) {
			this.statuses.push({ status, message })
		},
		log(level, message) {
			this.logs.push(message)
		},
		// As Companion runs a button's action, and evaluates its feedback.
		act(actionId, options = {}) {
			return this.actions[actionId].callback({ actionId, options }, { parseVariablesInString: async (text) => text })
		},
		feedback(feedbackId, options = {}) {
			return this.feedbacks[feedbackId].callback({ feedbackId, options })
		},
	}
}

module.exports = { executable, fakeHost, freePort, scratchFolder, startProgram, until }
