'use strict'

// Podium Watch for the tests: started offscreen on the loopback, with settings and tokens in a
// folder of the test's own, and stopped at the end.

const { spawn } = require('node:child_process')
const fs = require('node:fs')
const net = require('node:net')
const os = require('node:os')
const path = require('node:path')

const executable = process.env.PODIUMWATCH || path.resolve(__dirname, '../../build/ci/podiumwatch')

// Polls `condition` until it holds (its value is returned) or `ms` have passed (throws, saying what
// was waited for).
async function until(condition, ms, what) {
	const deadline = Date.now() + ms
	for (;;) {
		const value = condition()
		if (value) return value
		if (Date.now() > deadline) throw new Error(`waited ${ms} ms for ${what}`)
		await new Promise((resolve) => setTimeout(resolve, 20))
	}
}

function freePort() {
	return new Promise((resolve, reject) => {
		const server = net.createServer()
		server.once('error', reject)
		server.listen(0, '127.0.0.1', () => {
			const { port } = server.address()
			server.close(() => resolve(port))
		})
	})
}

function scratchFolder() {
	return fs.mkdtempSync(path.join(os.tmpdir(), 'podiumwatch-companion-'))
}

// Starts the program and resolves once it has printed its control address: { port, token, stop }.
// `args` come after the loopback options.
function startProgram(folder, port, args = []) {
	const child = spawn(executable, [`--remote=${port}`, '--remote-bind=127.0.0.1', ...args], {
		cwd: folder,
		env: {
			...process.env,
			QT_QPA_PLATFORM: 'offscreen',
			XDG_CONFIG_HOME: path.join(folder, 'config'),
			XDG_RUNTIME_DIR: folder,
		},
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
	return until(
		() => {
			if (child.exitCode !== null) throw new Error(`Podium Watch exited (${child.exitCode}):\n${output}`)
			return /^remote control: http:\/\/127\.0\.0\.1:(\d+)\/control\?t=(\S+)$/m.exec(output)
		},
		30000,
		`Podium Watch to print its control address; it printed:\n${output}`,
	).then(([, printedPort, token]) => ({ port: Number(printedPort), token, stop, output: () => output }))
}

// A stand-in for Companion's InstanceBase: keeps what the module told it.
function fakeHost(label = 'podiumwatch') {
	return {
		label,
		values: {},
		statuses: [],
		logs: [],
		actions: {},
		feedbacks: {},
		setVariableValues(values) {
			Object.assign(this.values, values)
		},
		setVariableDefinitions() {},
		setActionDefinitions(actions) {
			this.actions = actions
		},
		setFeedbackDefinitions(feedbacks) {
			this.feedbacks = feedbacks
		},
		setPresetDefinitions() {},
		checkFeedbacks() {},
		updateStatus(status, message) {
			this.statuses.push({ status, message })
		},
		get status() {
			return this.statuses.at(-1)?.status
		},
		log(level, message) {
			this.logs.push({ level, message })
		},
		// Runs an action as Companion would: its callback with the button's options.
		act(actionId, options = {}) {
			return this.actions[actionId].callback({ actionId, options }, { parseVariablesInString: async (text) => text })
		},
	}
}

module.exports = { executable, fakeHost, freePort, scratchFolder, startProgram, until }
