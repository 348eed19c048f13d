'use strict'

// The module against the real program on the loopback: its actions as the program's state shows
// them, its variables and feedbacks as they follow the state, its refusals and its reconnection.

const assert = require('node:assert/strict')
const fs = require('node:fs')
const path = require('node:path')
const { after, before, describe, it } = require('node:test')
const { Controller } = require('../src/controller')
const { executable, fakeHost, freePort, scratchFolder, startProgram, until } = require('./program')

const MESSAGES = ['one', 'あと5分です', 'three', 'four', 'five']
const hhmm = (date) => date.toTimeString().slice(0, 5)

// The session starts five minutes before the present minute, so that before the first talk it is
// 5 to 6 minutes behind its plan; none in a day's first minutes, when that would be yesterday.
function writeProgramme(folder) {
	const start = new Date(Date.now() - 5 * 60000)
	const file = path.join(folder, 'programme.json')
	const programme = {
		format: 'podiumwatch-programme', version: 1, title: 'Companion', changeover: '1:00', messages: MESSAGES,
		talks: [{ title: 'First', speaker: 'Ann', affiliation: 'Org A', time: '5:00' }, { title: 'Second', speaker: 'Bob', time: '0:03', bells: ['0:02'] },
			{ title: 'Third', speaker: 'Cy', time: '10:00' }],
	}
	if (start.getDate() === new Date().getDate()) programme.start = hhmm(start)
	fs.writeFileSync(file, JSON.stringify(programme))
	return { file, start: programme.start }
}

describe('Podium Watch on the loopback', { skip: !fs.existsSync(executable) && `no program at ${executable}` }, () => {
	let folder, program, programme, host, controller

	// The program takes at most 20 commands a second (more are answered 503): these are paced.
	let lastSent = 0
	const send = async (actionId, options) => {
		await new Promise((resolve) => setTimeout(resolve, lastSent + 80 - Date.now()))
		lastSent = Date.now()
		return host.act(actionId, options)
	}
	const act = async (actionId, options) => {
		const answer = await send(actionId, options)
		assert.equal(answer.status, 204, `${actionId} ${JSON.stringify(options)}: ${answer.reason}`)
	}

	before(async () => {
		folder = scratchFolder()
		programme = writeProgramme(folder)
		const port = await freePort()
		program = await startProgram(folder, port, ['--programme', programme.file])
		host = fakeHost()
		controller = new Controller(host)
		controller.start({ host: '127.0.0.1', port, token: program.token })
		await until(() => controller.state?.talk?.number === 1, 5000, 'the programme to be open')
	})

	after(async () => {
		controller?.stop()
		await program?.stop()
		fs.rmSync(folder, { recursive: true, force: true })
	})

	it('carries out every action as the state shows it', async () => {
		// In order: each row starts from the state the one before left.
		const rows = [
			['next', {}, (s) => s.talk.number === 2],
			['previous', {}, (s) => s.talk.number === 1],
			['goto', { n: 3 }, (s) => s.talk.number === 3],
			['goto', { n: 1 }, (s) => s.talk.number === 1 && s.remaining === 300],
			['start', {}, (s) => s.state === 'running'],
			['adjust', { seconds: 60 }, (s, was) => s.remaining > was.remaining + 50],
			['adjust', { seconds: -120 }, (s, was) => s.remaining < was.remaining - 110],
			['pause', {}, (s) => s.state === 'paused'],
			['restart', {}, (s) => s.state === 'running' && s.remaining > 290],
			['reset', {}, (s) => s.state === 'setup' && s.remaining === 300],
			['message', { text: 'Podium 時間です' }, (s) => s.message === 'Podium 時間です'],
			['message_saved', { i: 1 }, (s) => s.message === MESSAGES[1]],
			['message_clear', {}, (s) => s.message === null],
			['projector', { on: 1 }, (s) => s.projector === true],
			['projector', { on: 0 }, (s) => s.projector === false],
			['mask', { on: 1 }, (s) => s.masked === true],
			['mask', { on: 0 }, (s) => s.masked === false],
		]
		for (const [actionId, options, shows] of rows) {
			const was = controller.state
			await act(actionId, options)
			if (shows) await until(() => shows(controller.state, was), 5000, `${actionId} ${JSON.stringify(options)} to show`)
		}
		assert.deepEqual(host.logs, [])
	})

	it('logs the reason of a command the program refuses', async () => {
		await act('goto', { n: 1 })
		await act('start')
		for (const [actionId, options, logged] of [
			['next', {}, 'next refused (409): not while the clock runs'],
			['message_saved', { i: 7 }, 'message-saved 7 refused (409): there is no saved message there'],
		]) {
			assert.equal((await send(actionId, options)).status, 409)
			assert.equal(host.logs.pop(), logged)
		}
		await act('reset')
	})

	it('has every variable and feedback follow the program within a second', async () => {
		const unlit = { running: false, paused: false, over_time: false, message_shown: false, bell_passed: false }
		// What to do, then the values the variables take and what the feedbacks (bell 1) give
		// within a second of the program's answer; or, without an action, within a second of the
		// bell at 0:02 of the second talk (3 s long). In order, from set-up at the first talk.
		const inSetup = new Date()
		const rows = [
			['goto', { n: 1 }, { talk_number: 1, talk_count: 3, talk_title: 'First', talk_speaker: 'Ann', talk_affiliation: 'Org A',
				next_title: 'Second', next_speaker: 'Bob', next_affiliation: '', time: '5:00', remaining: 300, state: 'setup',
				state_text: 'セットアップ中', over_time: 'no', over_time_seconds: 0, saved_2: MESSAGES[1], saved_5: 'five', saved_6: '' },
			{ ...unlit, display_colours: { bgcolor: 0x000000, color: 0x00ff00 } }],
			['goto', { n: 2 }, { talk_number: 2, talk_title: 'Second', talk_affiliation: '', next_title: 'Third', time: '0:03', remaining: 3 }, unlit],
			['start', {}, { state: 'running', state_text: '進行中', bell: 0 }, { running: true, bell_passed: false }],
			[null, {}, { bell: 1, remaining: (v) => v <= 2 }, { bell_passed: true }],
			['message', { text: 'hello' }, { message: 'hello' }, { message_shown: true }],
			['adjust', { seconds: -60 }, { over_time: 'yes', state_text: '超過中', remaining: (v) => v <= -55,
				over_time_seconds: (v) => v === -host.values.remaining },
			{ over_time: true, display_colours: { bgcolor: 0xff0000, color: 0xffffff } }],
			['pause', {}, { state: 'paused', state_text: '一時停止中' }, { running: false, paused: true, over_time: true }],
			['message_clear', {}, { message: '' }, { message_shown: false }],
			['projector', { on: 1 }, {}, { projector_shown: true }],
			['mask', { on: 1 }, {}, { masked: true, projector_shown: true }],
			['projector', { on: 0 }, {}, { projector_shown: false }],
			['mask', { on: 0 }, {}, { masked: false }],
			['reset', {}, { state: 'setup', over_time: 'no', over_time_seconds: 0, remaining: 3, bell: 0 },
				{ ...unlit, display_colours: { bgcolor: 0x000000, color: 0x00ff00 } }],
			['goto', { n: 1 }, { talk_title: 'First' }, {}],
		]
		const matches = (value, expected) => (typeof expected === 'function' ? expected(value) : JSON.stringify(value) === JSON.stringify(expected))
		for (const [actionId, options, values, feedbacks] of rows) {
			if (actionId) await act(actionId, options)
			const wrong = () => [
				...Object.keys(values).filter((id) => !matches(host.values[id], values[id])).map((id) => `${id}=${JSON.stringify(host.values[id])}`),
				...Object.keys(feedbacks).filter((id) => !matches(host.feedback(id, { bell: 1 }), feedbacks[id])).map((id) => `feedback ${id}`),
			]
			await until(() => wrong().length === 0, actionId ? 1000 : 4000, () => `${actionId} ${JSON.stringify(options)}; still wrong: ${wrong()}`)
		}

		// The session's times: projected from now (5:00 + 0:03 + 10:00 and two changeovers of a
		// minute), planned from the programme's start.
		const session = (5 * 60 + 3 + 10 * 60 + 2 * 60) * 1000
		const projected = [-1, 0, 1, 2].map((s) => hhmm(new Date(inSetup.getTime() + session + s * 1000)))
		assert.ok(projected.includes(host.values.projected_end), `projected end ${host.values.projected_end}, not one of ${projected}`)
		if (programme.start) {
			assert.equal(host.values.planned_end, hhmm(new Date(new Date(`2000-01-01T${programme.start}`).getTime() + session)))
			assert.equal(host.values.schedule, '予定より 5分 遅れ')
			assert.ok(host.values.behind_seconds >= 300 && host.values.behind_seconds < 365, `behind ${host.values.behind_seconds}`)
		}

		// The time of day ticks, and is the time of day.
		const ticks = new Set()
		await until(() => {
			const now = Date.now()
			assert.ok([-1, 0, 1].some((s) => new Date(now + s * 1000).toTimeString().startsWith(host.values.clock)), host.values.clock)
			return ticks.add(host.values.clock).size >= 3
		}, 5000, 'the clock to tick')
	})

	it('calls a wrong token bad configuration', async () => {
		const wrong = fakeHost()
		const other = new Controller(wrong)
		other.start({ host: '127.0.0.1', port: controller.link.port, token: 'not-the-token' })
		try {
			await until(() => wrong.status === 'bad_config', 5000, 'bad_config')
			assert.match(wrong.statuses.at(-1).message, /403/)
		} finally {
			other.stop()
		}
	})
})

describe('Podium Watch restarted', { skip: !fs.existsSync(executable) && `no program at ${executable}` }, () => {
	it('is found again after it was killed and started with the same port and tokens file', async () => {
		const folder = scratchFolder()
		const port = await freePort()
		const args = [`--remote-tokens=${path.join(folder, 'tokens.json')}`]
		let program = await startProgram(folder, port, args)
		const host = fakeHost()
		const controller = new Controller(host)
		try {
			controller.start({ host: '127.0.0.1', port, token: program.token })
			await until(() => host.status === 'ok' && controller.state, 5000, 'the first connection')
			await program.stop('SIGKILL')
			// Away long enough for the waits to grow: 0.5, 1 and 2 s.
			const failures = () => host.statuses.filter((s) => s.status === 'connection_failure').map((s) => s.message)
			await until(() => failures().length >= 3, 10000, 'three failed attempts')
			assert.equal(controller.state, null)
			assert.deepEqual(failures().slice(0, 3).map((m) => /trying again in ([\d.]+) s/.exec(m)?.[1]), ['0.5', '1', '2'])
			const restarted = await startProgram(folder, port, args)
			program = restarted
			assert.equal(restarted.token, controller.link.token, 'the tokens file keeps the control token')
			await until(() => host.status === 'ok' && controller.state, 15000, () => `a new connection; statuses ${JSON.stringify(host.statuses)}`)
			assert.equal((await host.act('message', { text: 'back' })).status, 204)
			// Once connected, the waits start again from the shortest.
			const before = failures().length
			await program.stop('SIGKILL')
			await until(() => failures().length > before, 5000, 'the second loss')
			assert.match(failures()[before], /trying again in 0\.5 s/)
		} finally {
			controller.stop()
			await program.stop()
			fs.rmSync(folder, { recursive: true, force: true })
		}
	})
})
